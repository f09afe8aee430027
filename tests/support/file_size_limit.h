#pragma once
// A full disk, or a small machine, made to order: work run in a child
// process whose files cannot grow past a limit (RLIMIT_FSIZE, with SIGXFSZ
// ignored, so a write beyond it fails with EFBIG as a write to a full disk
// fails with ENOSPC; unlike a read-only folder, this stops a root user too),
// or whose memory cannot grow far (RLIMIT_AS).

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

// Runs `work` in a forked child that can map at most `headroomBytes` more
// than the test process has mapped: work that allocates beyond it fails (a
// large vector throws, the child then ends abnormally). The sanitizers map
// terabytes of shadow memory, so tests skip this under them.
LimitedRun runWithMemoryHeadroom(std::uint64_t headroomBytes, const std::function<bool(std::string& error)>& work);

// True in a build with AddressSanitizer, where runWithMemoryHeadroom cannot work.
constexpr bool kUnderAddressSanitizer =
#if defined(__SANITIZE_ADDRESS__)
    true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    true;
#else
    false;
#endif
#else
    false;
#endif
