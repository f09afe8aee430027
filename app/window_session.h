#pragma once
// What belongs to the window rather than to the scene shown in it: the
// panel, the question about unsaved work, the export running beside it, the
// scene to open next. Part of the run's state (AppState::window); opening
// another scene keeps it.

#include <string>

#include "app/export_choices.h"
#include "app/photo_scene.h"
#include "platform/child_process.h"
#include "platform/temporary_folder.h"

// The export tool running for the window, and what it has said.
struct WindowExport {
    WindowExportChoices request;  // the panel's choices, kept from one export to the next
    ChildProcess tool;            // stillflow-export while it runs
    TemporaryFolder sceneCopy;    // the scene as it stood when the export began, for the tool
    std::string output;           // the file being made, an absolute path
    long long framesDone = 0;     // as the tool last said
    long long framesTotal = 0;
    std::string outText;          // what it wrote that is not yet a whole line
    std::string errText;
    std::string summary;          // its last line on standard output other than progress
    std::string lastError;        // its last line on standard error
    bool cancelled = false;       // asked to stop: what it leaves is removed
};

// A question the window asks before unsaved work would be lost.
enum class UnsavedQuestion {
    None,
    BeforeQuitting,  // the window was closed, or Escape held
    BeforeOpening,   // another scene was dropped on the window
};

// What the user answered.
enum class UnsavedAnswer { None, Save, Discard, Cancel };

struct WindowSession {
    bool inRealWindow = false;   // a real window: closing with unsaved work asks first
    bool panelShown = false;            // Tab hides and shows it
    std::string exportTool;             // stillflow-export beside the program; empty: not found
    // The panel's one line: the end of an export, or what went wrong last.
    std::string message;
    bool messageIsError = false;
    UnsavedQuestion question = UnsavedQuestion::None;
    std::string questionPath;           // BeforeOpening: the file or folder to open
    bool leaveNow = false;              // answered: the loop ends at the next frame's start
    // Escape went to the panel (it cancelled an export, or answered the
    // question): until it is released it ends nothing.
    bool escapeSpent = false;
    std::string openRequest;            // a folder or photo to open once this frame is shown
    int photoMaxSide = kDefaultPhotoMaxSide;  // --max-side, for the scene of a dropped photo
    WindowExport exportJob;
};
