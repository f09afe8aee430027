#include "platform/memory.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// A "Name: N kB" line of a /proc file, in bytes; 0 when it is not there.
std::uint64_t procKibibytes(const char* path, const char* format) {
    std::FILE* file = std::fopen(path, "r");
    if (!file) return 0;
    char line[256];
    unsigned long long kibibytes = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, file)) found = std::sscanf(line, format, &kibibytes) == 1;
    std::fclose(file);
    return found ? static_cast<std::uint64_t>(kibibytes) * 1024u : 0;
}

// What the machine has: MemAvailable counts the page cache that can be
// dropped, which free memory alone does not; else its physical memory.
std::uint64_t machineMemoryBytes() {
    if (const std::uint64_t available = procKibibytes("/proc/meminfo", "MemAvailable: %llu kB")) return available;
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return 0;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

}  // namespace

std::uint64_t availableMemoryBytes() {
    std::uint64_t available = machineMemoryBytes();
    // A limit on the address space (ulimit -v) leaves the process no more
    // than the limit less what it has mapped already, whatever the machine has.
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        const std::uint64_t mapped = procKibibytes("/proc/self/status", "VmSize: %llu kB");
        const auto ceiling = static_cast<std::uint64_t>(limit.rlim_cur);
        const std::uint64_t headroom = ceiling > mapped ? ceiling - mapped : 1;  // 0 would mean "unknown"
        available = available == 0 ? headroom : std::min(available, headroom);
    }
    return available;
}
