#pragma once
// Where the programs that come with this one are: installed or built, they
// lie in one folder.

#include <string>

// The path of the program `name` in the folder of the running program's
// own file, or an empty string when there is no executable file of that
// name there. argv0 is the fallback where the system does not say which
// file runs.
std::string programBeside(const char* name, const char* argv0);
