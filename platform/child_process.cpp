#include "platform/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

#include "platform/fatal_error.h"

extern char** environ;

namespace {

// How long waitForEnd sleeps between looks at the program.
constexpr auto kWaitStep = std::chrono::milliseconds(10);
// How long the destructor gives a program it asked to stop.
constexpr double kStopGraceSeconds = 5.0;

void closeDescriptor(int& descriptor) {
    if (descriptor >= 0) ::close(descriptor);
    descriptor = -1;
}

// Appends what can be read now; closes the descriptor at its end.
void drain(int& descriptor, std::string& into) {
    char buffer[4096];
    while (descriptor >= 0) {
        const ssize_t got = ::read(descriptor, buffer, sizeof buffer);
        if (got > 0) {
            into.append(buffer, static_cast<std::size_t>(got));
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        closeDescriptor(descriptor);
    }
}

int exitCodeOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

// A pipe whose read end does not block and whose ends this process's other
// children do not inherit.
bool makePipe(int ends[2]) {
    if (::pipe(ends) != 0) return false;
    for (int i = 0; i < 2; ++i) ::fcntl(ends[i], F_SETFD, FD_CLOEXEC);
    ::fcntl(ends[0], F_SETFL, ::fcntl(ends[0], F_GETFL) | O_NONBLOCK);
    return true;
}

}  // namespace

ChildProcess::~ChildProcess() { end(); }

void ChildProcess::end() {
    if (running()) {
        requestStop();
        std::string ignored;
        waitForEnd(kStopGraceSeconds, ignored, ignored);
    }
    closePipes();
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      outPipe_(std::exchange(other.outPipe_, -1)),
      errPipe_(std::exchange(other.errPipe_, -1)) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this == &other) return *this;
    end();
    pid_ = std::exchange(other.pid_, -1);
    outPipe_ = std::exchange(other.outPipe_, -1);
    errPipe_ = std::exchange(other.errPipe_, -1);
    return *this;
}

void ChildProcess::closePipes() {
    closeDescriptor(outPipe_);
    closeDescriptor(errPipe_);
}

bool ChildProcess::start(const std::vector<std::string>& arguments, std::string& error) {
    end();
    if (arguments.empty()) {
        error = "no program to start";
        return false;
    }
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    if (!makePipe(out) || !makePipe(err)) {
        error = formatLine("cannot make a pipe for %s: %s", arguments[0].c_str(), std::strerror(errno));
        for (int descriptor : {out[0], out[1], err[0], err[1]}) {
            if (descriptor >= 0) ::close(descriptor);
        }
        return false;
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    if (spawned != 0) {
        ::close(out[0]);
        ::close(err[0]);
        error = formatLine("cannot start %s: %s", arguments[0].c_str(), std::strerror(spawned));
        return false;
    }
    pid_ = pid;
    outPipe_ = out[0];
    errPipe_ = err[0];
    return true;
}

void ChildProcess::readOutput(std::string& out, std::string& err) {
    drain(outPipe_, out);
    drain(errPipe_, err);
}

bool ChildProcess::poll(int& exitCode) {
    if (pid_ <= 0) return false;
    int status = 0;
    pid_t reaped = -1;
    do {
        reaped = ::waitpid(pid_, &status, WNOHANG);
    } while (reaped < 0 && errno == EINTR);
    if (reaped == 0) return false;
    exitCode = reaped == pid_ ? exitCodeOf(status) : -1;
    pid_ = -1;
    return true;
}

void ChildProcess::requestStop() {
    if (pid_ > 0) ::kill(pid_, SIGTERM);
}

int ChildProcess::waitForEnd(double graceSeconds, std::string& out, std::string& err) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                               std::chrono::duration<double>(graceSeconds));
    int exitCode = -1;
    bool killed = false;
    while (running()) {
        readOutput(out, err);
        if (poll(exitCode)) break;
        if (!killed && std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid_, SIGKILL);
            killed = true;
        }
        std::this_thread::sleep_for(kWaitStep);
    }
    readOutput(out, err);
    return exitCode;
}
