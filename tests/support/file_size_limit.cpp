#include "support/file_size_limit.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

LimitedRun runWithFileSizeLimit(std::uint64_t limitBytes, const std::function<bool(std::string& error)>& work) {
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
        const rlimit limit = {static_cast<rlim_t>(limitBytes), static_cast<rlim_t>(limitBytes)};
        std::signal(SIGXFSZ, SIG_IGN);
        std::string error;
        const bool returned = setrlimit(RLIMIT_FSIZE, &limit) == 0 && work(error);
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
