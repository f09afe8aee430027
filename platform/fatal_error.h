#pragma once
// How Stillflow's programs report what went wrong: one rule for the
// libraries, one for the entry points.
//
// Libraries (every folder but the entry points' files) never end the
// process. A call that can fail returns what went wrong: false or an empty
// result, with one line (no program name, no newline) saying why where the
// caller needs it; formatLine builds such a line. A library prints only
// what its own contract names (the passes' shader logs on standard output;
// reportProblem below for an input the run goes on without).
//
// Entry points (app/main.cpp, the mains in tools/, the benchmarks) decide:
// they print one line "<program name>: <what went wrong>" on standard error
// and exit, with code 1 unless the program documents another (2 for a
// wrong command line). fatalError is that line and that exit.

#include <string>

// The name that starts every line: the base name of argv[0] once set,
// "stillflow" before.
void setProgramName(const char* argv0);
const char* programName();

// A printf-formatted line, as a library hands it back.
std::string formatLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// For entry points: prints "<program name>: <message>" as one line on
// standard error (the message is printf-formatted, without its newline),
// flushing standard output first, then ends the process with exit code 1.
[[noreturn]] void fatalError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Prints "<program name>: <message>" as one line on standard error and goes
// on: for inputs the run can do without (a refused document, overlay or
// track), so the user learns why they are left out.
void reportProblem(const char* format, ...) __attribute__((format(printf, 1, 2)));
