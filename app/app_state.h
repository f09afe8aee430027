#pragma once
// The run's state: one instance, owned by the entry point from start-up to
// shutdown and lent to every stage by reference. The guide list, the tool
// mode with its drag, brush and navigation state, the clock and the particle
// generator are process-wide and live with their own subsystems.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "app/window_session.h"
#include "edit/history.h"
#include "edit/view.h"
#include "flow/document.h"
#include "flow/grid.h"
#include "flow/particles.h"
#include "gpu/passes.h"
#include "gpu/render_targets.h"
#include "gpu/texture.h"
#include "platform/gui.h"

struct AppState {
    View view;                         // maps window pixels to picture pixels
    ImageGrid picture;                 // the animated picture (or the document's)
    ImageGrid overlayPicture;          // drawn over the animation; may be empty
    FlowGrid flowGrid;                 // synthesised flow, picture-sized, px/s
    float flowScale = kDefaultFlowScale;          // factor on every synthesised vector
    bool flowDirty = false;                      // guides changed: synthesise this frame
    double previousFrameDuration = 0.0;          // seconds; time step of the next frame
    ParticleList previewParticles{};             // positions in picture pixels
    double lastReseedTime = 0.0;                 // seconds on the app clock
    std::array<double, 3> layerPhase{};          // start of each UV layer's cycle, seconds
    ByteMask mask;                               // painted by the brush, picture-sized
    float phaseSpacing = kDefaultPhaseSpacing;    // seconds between layer phases
    Vec2 cursorPosition;                         // the mouse in picture pixels, this frame
    std::int32_t frameCounter = 0;               // completed frames

    // Beside the Parts' state: the history of guide edits and mask strokes
    // for undo and redo, which also knows what was saved.
    EditHistory history;
    // What is drawn besides the animation (G, P and M toggle them); at their
    // start values the window shows exactly the animation, particles and
    // overlay.
    bool showGuides = false;
    bool showParticles = true;
    bool showMask = false;
    // How the picture is read between texels (F toggles the sharper one).
    PictureFilter pictureFilter = PictureFilter::Fast;
    // How the user directs the motion besides the guides (app/motion.h): K
    // holds the flow still where the mask is painted; [ and ] size the brush.
    // Both are saved in the document's settings block.
    bool freezeWhereMasked = false;
    float brushRadius = kDefaultBrushRadius;     // picture pixels
    // This frame's time t on the clock, seconds: a new loop length re-phases
    // the layers at it.
    double frameClockTime = 0.0;
    // The window's animation at about the resolution shown (app/layer_proxy.h):
    // picture texels per texel of the layers, flow and output in `targets`;
    // 1 while they are picture-sized, as an export always has them.
    float layerScale = 1.0f;
    bool layerProxyRefused = false;              // the scene's displace.frag cannot: said once
    bool maskTintStale = true;                   // the mask changed since maskTexture was made
    std::string sceneName;                       // the scene folder's name, for the window title
    std::uint32_t musicStream = 0;               // the scene's music as it plays; 0: none
    bool playMusic = false;                      // this run plays the scenes' music

    // The window around the scene: panel, questions, export. Opening
    // another scene keeps it.
    WindowSession window;

    // GL objects. The context is constructed after guiStart; the textures
    // need it current and are released before it.
    std::optional<GLContext> context;
    RenderTargets targets;                       // the animation's nine textures
    Texture overlayTexture;                      // the overlay picture
    Texture maskTexture;                         // the mask as alpha, made while it is shown
};
