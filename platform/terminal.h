#pragma once
// Whether a stream shows on a terminal, for progress lines that only make
// sense to a person watching (not in a log file or a pipe).

bool standardErrorIsTerminal();

// The terminal's width in columns, or `fallback` when it cannot be told.
int terminalColumns(int fallback);
