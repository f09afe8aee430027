#include "platform/interruption.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// What the watching thread removes; process-wide, as the signals are.
struct Registry {
    std::recursive_mutex mutex;  // recursive: a hold may register and give up paths
    std::vector<std::string> paths;
    bool committed = false;      // something was put in place
    std::string programName;
};

Registry& registry() {
    static Registry* instance = new Registry;  // never destroyed: the watcher may use it at exit
    return *instance;
}

// The three signals, but for one the process was started with ignored (as
// nohup ignores SIGHUP, or a shell a background job's SIGINT): that choice
// is kept, and an ignored signal would never reach sigwait anyway.
sigset_t watchedSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
        sigaddset(&set, signal);
    }
    return set;
}

// Removes a temporary that the main thread may still be writing into:
// renamed aside first, so that a file created under its old name from now on
// fails instead of landing in it, then removed until nothing is left.
void removeTemporary(const std::string& path) {
    std::error_code ignored;
    std::string gone = path + ".interrupted";
    if (::rename(path.c_str(), gone.c_str()) != 0) gone = path;
    for (int attempt = 0; attempt < 8 && std::filesystem::exists(std::filesystem::symlink_status(gone, ignored));
         ++attempt) {
        std::filesystem::remove_all(gone, ignored);
    }
}

void watch(sigset_t signals) {
    int received = 0;
    while (sigwait(&signals, &received) != 0) {
    }
    Registry& state = registry();
    state.mutex.lock();  // never unlocked: the process ends here
    for (const std::string& path : state.paths) removeTemporary(path);
    std::fprintf(stderr, "%s: interrupted%s\n", state.programName.c_str(),
                 state.committed ? "" : "; nothing written");
    std::fflush(stderr);
    _exit(128 + received);
}

}  // namespace

void watchInterruptions(const char* programName) {
    {
        std::lock_guard<std::recursive_mutex> lock(registry().mutex);
        registry().programName = programName ? programName : "";
    }
    const sigset_t signals = watchedSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread(watch, signals).detach();
}

void removeOnInterruption(const std::string& path) {
    std::lock_guard<std::recursive_mutex> lock(registry().mutex);
    registry().paths.push_back(path);
}

void keepOnInterruption(const std::string& path, bool committed) {
    std::lock_guard<std::recursive_mutex> lock(registry().mutex);
    std::vector<std::string>& paths = registry().paths;
    paths.erase(std::remove(paths.begin(), paths.end(), path), paths.end());
    if (committed) registry().committed = true;
}

InterruptionHold::InterruptionHold() { registry().mutex.lock(); }

InterruptionHold::~InterruptionHold() { registry().mutex.unlock(); }
