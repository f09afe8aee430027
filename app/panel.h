#pragma once
// The panel of controls over the window, and the question about unsaved
// work: what they show and what they do. Built with Dear ImGui between
// PanelBegin and PanelEnd (platform/gui.h), which draw it; every switch and
// button calls the function its key calls (app/commands.h), so both make the
// same undo steps and the same files.
//
// The panel sits in the window's top-left corner, one column wide, and
// scrolls when the window is too low for it; its title bar folds it away.
// Its sections, top to bottom: the scene (name, guides, unsaved changes)
// and the last message; Show (the drawing switches); Motion (the freeze,
// brush size, speed and loop length); Edit (undo, redo, save); Export; Help
// (the controls table). Rows are added at the end of their section.

#include "app/app_state.h"

// Whether this frame has a panel: it is shown (Tab), or a question is asked.
bool panelInUse(const AppState& state);

// Builds the panel's widgets and the question for this frame and does what
// they ask.
void buildPanel(AppState& state);
