#pragma once
// The window's title: what the user is working on.

#include <cstddef>
#include <string>

// "<scene> - <N> guides - Stillflow", with a leading "*" while there are
// unsaved changes: the scene folder's name, the number of guides, the mark;
// "- sharp filter" before the program's name while the window shows it.
std::string windowTitle(const std::string& sceneName, std::size_t guideCount, bool unsaved, bool sharpFilter);

// The name of the working directory, the scene folder ("/" for the root).
std::string sceneFolderName();
