#include "platform/quiet_stderr.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

QuietStderr::QuietStderr() {
    std::fflush(stderr);
    saved_ = dup(STDERR_FILENO);
    const int null = saved_ >= 0 ? open("/dev/null", O_WRONLY) : -1;
    if (null >= 0) {
        dup2(null, STDERR_FILENO);
        close(null);
    }
}

QuietStderr::~QuietStderr() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    dup2(saved_, STDERR_FILENO);
    close(saved_);
}
