#pragma once
// Interruption of a tool that stages what it writes: on SIGINT (Ctrl+C),
// SIGTERM or SIGHUP (the terminal was closed) the temporaries it registered
// are removed and the process ends, so that no half-made scene folder or
// file is left beside its target.
//
// The signals are taken by a thread of their own (sigwait), not by a
// handler, so that the removal is ordinary code: a handler may not walk a
// folder. Call watchInterruptions first thing in main, before any thread
// exists, so that every later thread inherits the blocked signals.

#include <string>

// Blocks the three signals (but one the process was started with ignored,
// as under nohup) and starts the watching thread. When one arrives, every
// registered path is removed (a folder with everything in it), one line goes
// to standard error ("<program name>: interrupted; nothing written", or
// "<program name>: interrupted" once something was put in place) and the
// process ends with 128 + the signal's number (130 for Ctrl+C).
void watchInterruptions(const char* programName);

// Registers a temporary (file or folder) to remove on an interruption, or
// gives it up once it is gone or, `committed`, renamed into place.
void removeOnInterruption(const std::string& path);
void keepOnInterruption(const std::string& path, bool committed);

// Holds an interruption back for the life of the object, so that none falls
// between making a temporary and registering it, or between committing it
// and giving it up: the watching thread waits until the hold ends.
class InterruptionHold {
public:
    InterruptionHold();
    ~InterruptionHold();
    InterruptionHold(const InterruptionHold&) = delete;
    InterruptionHold& operator=(const InterruptionHold&) = delete;
};
