#pragma once
// `stillflow --help`: the controls and the window system's options, printed
// before anything else happens (no window, no file).

#include <cstdio>

#include "platform/gui_options.h"

// The controls, as the README's table and the panel's Help list them.
inline constexpr HelpLine controlsHelp[] = {
    {"Escape held, or window close",
     "quit; with unsaved changes a window asks first: Save (S), Discard (D) or Cancel (Escape)"},
    {"Home", "fit the view to the picture"},
    {"mouse wheel", "zoom about the cursor, ×1.1 per notch"},
    {"Space held, left drag", "pan"},
    {"left drag from empty space", "draw a new guide segment (the flow follows on release)"},
    {"left drag from within 14 pixels of a guide's endpoint", "move that endpoint"},
    {"right click within 32 pixels of an endpoint", "delete its guide"},
    {"X held, left drag", "paint the mask (soft brush, towards 255)"},
    {"C held, left drag", "clear the mask (soft brush, towards 0)"},
    {"K", "freeze: hold the picture still where the mask is painted, or let it flow again (off at start; the "
          "title says \"freeze on\")"},
    {"[ or ]", "halve or double the mask brush, from 1 to 1024 picture pixels (4 at start)"},
    {"- or =", "slower or faster: the speed divided or multiplied by 1.25 (the title shows it as a factor)"},
    {", or .", "shorter or longer loop: 0.25, 0.35, 0.5, 0.7, 1, 1.4, 2, 2.8, 4, 5.6 or 8 seconds (0.5 at start)"},
    {"Ctrl+S", "save your work into vorna2.flw (see Saving your work)"},
    {"Ctrl+Z", "undo the last edit (a new guide, an endpoint move, a deletion, a mask stroke, a press of K, [, ], "
               "-, =, , or .)"},
    {"Ctrl+Y or Ctrl+Shift+Z", "redo what was undone (a new edit drops what could be redone)"},
    {"G",
     "show or hide the guides (off at start): arrows from first to second endpoint, pins as rings; the endpoint a "
     "left press would grab ringed in cyan, the guide a right click would delete in red"},
    {"P", "hide or show the particles (on at start; they keep moving while hidden)"},
    {"M", "show or hide the mask as a pink tint (off at start)"},
    {"F", "preview the sharper picture filter that stillflow-export uses (off at start; slower, the title "
          "says \"sharp filter\" while on)"},
    {"Tab", "hide or show the panel of controls (shown at start in a window)"},
    {"Ctrl+E", "export the loop as it stands, unsaved edits included, to loop.mp4 in the scene folder (loop-2.mp4, "
               "... when taken); the panel chooses format, width, length and music, shows the progress and cancels "
               "it (so does Escape)"},
    {"a picture or a scene folder dropped on the window",
     "open it, as stillflow PATH does (asking first about unsaved changes)"},
};

// Whether the command line asks for help (--help or -h anywhere after the
// program name).
bool helpRequested(int argc, char** argv);

// Writes the usage line, the controls and the window system's options.
void printHelp(std::FILE* out);
