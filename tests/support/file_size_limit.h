#pragma once
// A full disk, made to order: work run in a child process whose files
// cannot grow past a limit (RLIMIT_FSIZE, with SIGXFSZ ignored, so a write
// beyond it fails with EFBIG as a write to a full disk fails with ENOSPC).
// Unlike a read-only folder, this stops a root user too.

#include <cstdint>
#include <functional>
#include <string>

// What the work returned in the child, and the line it left in its error.
struct LimitedRun {
    bool returned = false;
    std::string error;
};

// Runs `work` in a forked child under the limit and hands back its result;
// a child that ends abnormally reads as false with the reason in error.
LimitedRun runWithFileSizeLimit(std::uint64_t limitBytes, const std::function<bool(std::string& error)>& work);
