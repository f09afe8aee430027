#pragma once
// How much memory the machine has for the run, so that a picture too large
// to animate can be refused before anything is allocated for it.

#include <cstdint>

// Bytes of memory the process can still take without the system swapping or
// killing it (what the kernel reports as available, or else the machine's
// physical memory), and never more than a limit on its address space (ulimit
// -v) leaves it; 0 when it cannot be known.
std::uint64_t availableMemoryBytes();
