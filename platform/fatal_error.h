#pragma once
// The one way the program ends when it cannot go on. Every such end flushes
// standard output and standard error and exits with code 1; lines of the
// program's own start with its name, the way console tools report.

// The name that starts every error line: the base name of argv[0] once set,
// "stillflow" before.
void setProgramName(const char* argv0);
const char* programName();

// Prints "<program name>: <message>" as one line on standard error (the
// message is printf-formatted, without its newline), then ends the process
// with exit code 1.
[[noreturn]] void fatalError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Prints "<program name>: <message>" as one line on standard error and goes
// on: for inputs the run can do without (a refused document, overlay or
// track), so the user learns why they are left out.
void reportProblem(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Ends the process with exit code 1 after the caller printed its own
// diagnostic, flushing both streams first.
[[noreturn]] void exitWithFailure();
