#pragma once
// The window's title: what the user is working on.

#include <cstddef>
#include <string>

#include "flow/document.h"

// How the motion is directed, as far as the title tells it.
struct TitleMotion {
    float flowScale = kDefaultFlowScale;
    float phaseSpacing = kDefaultPhaseSpacing;
    bool freeze = false;
};

// "<scene> - <N> guides - Stillflow", with a leading "*" while there are
// unsaved changes: the scene folder's name, the number of guides, the mark.
// Before the program's name: "speed <F>x" while flowScale is not the
// default (F its factor of the default, three significant digits), "loop
// <S> s" while phaseSpacing is not the default, "freeze on" while the freeze
// is, "sharp filter" while the window shows it, and "exporting <P>%" while
// an export runs (exportPercent from 0 to 100; -1 when none runs), in that
// order.
std::string windowTitle(const std::string& sceneName, std::size_t guideCount, bool unsaved, bool sharpFilter,
                        const TitleMotion& motion = TitleMotion{}, int exportPercent = -1);

// The name of the working directory, the scene folder ("/" for the root).
std::string sceneFolderName();
