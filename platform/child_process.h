#pragma once
// Another program run beside this one: started with its arguments, its
// standard output and standard error read through pipes without ever
// waiting, asked to stop, and reaped. The window's export runs the export
// tool this way, so that there is one export and the window keeps drawing.
//
// Move-only owner: an empty one (default-constructed, moved from, reaped)
// owns nothing. Destroying one whose program still runs asks it to stop,
// gives it a moment, kills it if it must, and reaps it: no child outlives
// its owner.

#include <string>
#include <type_traits>
#include <vector>

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ChildProcess(ChildProcess&& other) noexcept;
    // Ends this one's own program first (as the destructor does), then takes the source's.
    ChildProcess& operator=(ChildProcess&& other) noexcept;

    // Starts arguments[0] (a path) with the arguments, standard input from
    // the null device, standard output and error into pipes. False, with one
    // line in `error`, when the program cannot be started. Ends whatever
    // this one ran before.
    bool start(const std::vector<std::string>& arguments, std::string& error);

    // Started and not yet reaped.
    bool running() const { return pid_ > 0; }

    // Appends what the program wrote since the last call, without waiting.
    void readOutput(std::string& out, std::string& err);

    // Reaps the program if it has ended, without waiting: true then, with
    // its exit code (128 + the signal's number when a signal ended it), and
    // this one is empty afterwards but for what remains to be read.
    bool poll(int& exitCode);

    // Asks the program to stop (SIGTERM): it may tidy up and end.
    void requestStop();

    // Waits for the program to end, reading its output meanwhile; after
    // `graceSeconds` it is killed. Returns its exit code, as poll does.
    int waitForEnd(double graceSeconds, std::string& out, std::string& err);

private:
    // Stops and reaps the program, if one runs, and closes the pipes.
    void end();
    void closePipes();

    int pid_ = -1;        // the running program; -1: none
    int outPipe_ = -1;    // read ends, non-blocking; -1: closed
    int errPipe_ = -1;
};

static_assert(!std::is_copy_constructible<ChildProcess>::value, "ChildProcess owns its program: no copies");
static_assert(std::is_nothrow_move_constructible<ChildProcess>::value, "ChildProcess moves must not throw");
static_assert(std::is_nothrow_move_assignable<ChildProcess>::value, "ChildProcess moves must not throw");
