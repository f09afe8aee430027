#pragma once
// The one table of the keys and mouse buttons the program asks about. Adding
// one is one line here: the enum value, the word an offscreen script uses,
// the window system's codes and the slot in the per-frame input state all
// follow from it. The window-system column is read only by the window
// backend (the one file that includes SDL); elsewhere it is never expanded.

// KEY(name, code, sdlKeycodes...): `Key::name` with its code (letters by
// their capital code, punctuation by its ASCII code, the others in the GUI
// library's numbering); the script
// word is the name itself, in any case ("keydown Home", "keydown ctrl"); any
// of the SDL key codes gives it, so both Ctrl keys count as Ctrl.
#define STILLFLOW_GUI_KEYS(KEY)                      \
    KEY(Escape, 0x01000000, SDLK_ESCAPE)             \
    KEY(Home, 0x01000010, SDLK_HOME)                 \
    KEY(Space, 0x20, SDLK_SPACE)                     \
    KEY(C, 0x43, SDLK_c)                             \
    KEY(X, 0x58, SDLK_x)                             \
    KEY(Ctrl, 0x01000021, SDLK_LCTRL, SDLK_RCTRL)    \
    KEY(Shift, 0x01000020, SDLK_LSHIFT, SDLK_RSHIFT) \
    KEY(S, 0x53, SDLK_s)                             \
    KEY(Z, 0x5A, SDLK_z)                             \
    KEY(Y, 0x59, SDLK_y)                             \
    KEY(G, 0x47, SDLK_g)                             \
    KEY(P, 0x50, SDLK_p)                             \
    KEY(M, 0x4D, SDLK_m)                             \
    KEY(F, 0x46, SDLK_f)                             \
    KEY(K, 0x4B, SDLK_k)                             \
    KEY(Minus, 0x2D, SDLK_MINUS, SDLK_KP_MINUS)      \
    KEY(Equals, 0x3D, SDLK_EQUALS, SDLK_KP_PLUS)     \
    KEY(Comma, 0x2C, SDLK_COMMA)                     \
    KEY(Period, 0x2E, SDLK_PERIOD)                   \
    KEY(LeftBracket, 0x5B, SDLK_LEFTBRACKET)         \
    KEY(RightBracket, 0x5D, SDLK_RIGHTBRACKET)       \
    KEY(Tab, 0x01000001, SDLK_TAB)                   \
    KEY(E, 0x45, SDLK_e)                             \
    KEY(D, 0x44, SDLK_d)

// BUTTON(name, code, scriptWord, sdlButtons...): `MouseButton::name` with its
// code; the script word, in any case ("press left"); any of the SDL buttons
// gives it.
#define STILLFLOW_GUI_BUTTONS(BUTTON)           \
    BUTTON(Left, 1, "left", SDL_BUTTON_LEFT)    \
    BUTTON(Right, 2, "right", SDL_BUTTON_RIGHT)
