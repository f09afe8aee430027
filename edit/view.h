#pragma once
// The view: how the picture (units of picture pixels) sits in the GL widget
// (viewport pixels, origin top-left, y down), and the navigation that moves
// it: fit, left-drag pan in pan mode, wheel zoom about the cursor.

#include <cstdint>

#include "flow/grid.h"

struct View {
    float width = 1024;    // viewport width in pixels
    float height = 1024;   // viewport height in pixels
    float centerX = 0;     // picture x shown at the viewport's centre
    float centerY = 0;     // picture y shown at the viewport's centre
    float scale = 256;     // viewport pixels per picture unit (the zoom)
    float rotation = 0;    // radians the picture is turned on screen; nothing changes it
};

// Viewport point -> picture point. The viewport centre maps to the view's centre.
Vec2 screenToPicture(const View& view, Vec2 viewportPoint);

// Picture point -> viewport point; the inverse of screenToPicture up to rounding.
Vec2 pictureToScreen(const View& view, Vec2 picturePoint);

// A copy of the view centred on a pictureWidth x pictureHeight picture and
// scaled so that the whole picture touches two opposite viewport edges.
// Width, height and rotation are kept. A picture with a zero or negative
// extent has nothing to fit: the view comes back unchanged.
View fitView(const View& view, std::int32_t pictureWidth, std::int32_t pictureHeight);

// Once a frame, after tool selection, guide editing and brushing: records the
// pan anchor at every left press (any tool), pans while the left button is
// held in pan mode, and zooms about the cursor by the wheel (any tool).
void updatePanZoom(View& view);
