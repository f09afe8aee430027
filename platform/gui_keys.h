#pragma once
// The one table of the keys and mouse buttons the program asks about. Adding
// one is one line here: the enum value, the word an offscreen script uses,
// the window system's codes and the slot in the per-frame input state all
// follow from it. The window-system column is read only by the window
// backend (the one file that includes SDL); elsewhere it is never expanded.

// KEY(name, code, sdlKeycodes...): `Key::name` with its code (letters by
// their capital code, the others in the GUI library's numbering); the script
// word is the name itself ("keydown Home"); any of the SDL key codes gives it.
#define STILLFLOW_GUI_KEYS(KEY)          \
    KEY(Escape, 0x01000000, SDLK_ESCAPE) \
    KEY(Home, 0x01000010, SDLK_HOME)     \
    KEY(Space, 0x20, SDLK_SPACE)         \
    KEY(C, 0x43, SDLK_c)                 \
    KEY(X, 0x58, SDLK_x)

// BUTTON(name, code, scriptWord, sdlButtons...): `MouseButton::name` with its
// code; the script word ("press left"); any of the SDL buttons gives it.
#define STILLFLOW_GUI_BUTTONS(BUTTON)           \
    BUTTON(Left, 1, "left", SDL_BUTTON_LEFT)    \
    BUTTON(Right, 2, "right", SDL_BUTTON_RIGHT)
