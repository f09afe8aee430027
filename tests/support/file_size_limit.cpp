#include "support/file_size_limit.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <exception>

namespace {

// Runs `work` in a forked child after `limit` has set the child's limits.
LimitedRun runInLimitedChild(const std::function<bool()>& limit, const std::function<bool(std::string& error)>& work) {
    LimitedRun run;
    int channel[2];
    if (pipe(channel) != 0) {
        run.error = "no pipe to the child";
        return run;
    }
    std::fflush(nullptr);  // nothing buffered is written twice
    const pid_t child = fork();
    if (child == 0) {
        // The child: the limit, the work, its answer as one byte and the line.
        close(channel[0]);
        // An exception must not reach the test framework in the child, which
        // would go on running tests there.
        std::string error;
        bool returned = false;
        try {
            returned = limit() && work(error);
        } catch (const std::exception& exception) {
            error = std::string("the work threw: ") + exception.what();
        }
        const char answer = returned ? '1' : '0';
        const bool sent = write(channel[1], &answer, 1) == 1 &&
                          write(channel[1], error.data(), error.size()) == static_cast<ssize_t>(error.size());
        _exit(sent ? 0 : 1);
    }
    close(channel[1]);
    std::string reply;
    char buffer[256];
    for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0) break;
        reply.append(buffer, static_cast<std::size_t>(n));
    }
    close(channel[0]);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        reply.empty()) {
        run.error = "the child ended abnormally";
        return run;
    }
    run.returned = reply[0] == '1';
    run.error = reply.substr(1);
    return run;
}

// The address space the process has mapped, in bytes; 0 when unknown.
std::uint64_t mappedBytes() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return 0;
    char line[256];
    unsigned long long kibibytes = 0;
    while (std::fgets(line, sizeof line, status) && std::sscanf(line, "VmSize: %llu kB", &kibibytes) != 1) {
    }
    std::fclose(status);
    return static_cast<std::uint64_t>(kibibytes) * 1024u;
}

}  // namespace

LimitedRun runWithFileSizeLimit(std::uint64_t limitBytes, const std::function<bool(std::string& error)>& work) {
    return runInLimitedChild(
        [limitBytes] {
            const rlimit limit = {static_cast<rlim_t>(limitBytes), static_cast<rlim_t>(limitBytes)};
            std::signal(SIGXFSZ, SIG_IGN);
            return setrlimit(RLIMIT_FSIZE, &limit) == 0;
        },
        work);
}

LimitedRun runWithMemoryHeadroom(std::uint64_t headroomBytes, const std::function<bool(std::string& error)>& work) {
    return runInLimitedChild(
        [headroomBytes] {
            const std::uint64_t mapped = mappedBytes();
            const rlimit limit = {static_cast<rlim_t>(mapped + headroomBytes), static_cast<rlim_t>(mapped + headroomBytes)};
            return mapped != 0 && setrlimit(RLIMIT_AS, &limit) == 0;
        },
        work);
}
