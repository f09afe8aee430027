#include "app/startup.h"

#include <GL/glew.h>

#include <cstdio>

#include "app/app_clock.h"
#include "app/schedule.h"
#include "flow/document.h"
#include "flow/particles.h"
#include "gpu/passes.h"
#include "gpu/render_targets.h"
#include "image/loading.h"
#include "platform/audio.h"
#include "platform/fatal_error.h"
#include "platform/gui.h"

namespace {

// Offsets of the first layer phases when no document gives them: fixed, so
// the layers are half a second apart whatever the spacing.
constexpr double initialPhaseOffsets[3] = {1.0, 0.5, 0.0};

constexpr int defaultAudioDevice = -1;
constexpr std::uint32_t audioOutputRate = 44100;

// Loads the working picture, or ends the run saying why it can't be used.
void loadWorkingPicture(ImageGrid& picture) {
    if (std::FILE* file = std::fopen(pictureFileName, "rb")) {
        std::fclose(file);
    } else {
        fatalError("cannot open \"%s\" in the working directory", pictureFileName);
    }
    picture = loadImage(pictureFileName);
    if (picture.empty()) fatalError("\"%s\" is not a picture that can be decoded", pictureFileName);
    if (picture.width < kMinimumGridSide || picture.height < kMinimumGridSide) {
        fatalError("\"%s\" is %d x %d pixels; at least %d x %d are needed", pictureFileName, picture.width,
                   picture.height, kMinimumGridSide, kMinimumGridSide);
    }
}

// What a successful document read changes: everything picture-sized follows
// the document's picture, the phases come from its spacing, and the first
// frame synthesises its guides.
void adoptFlowDocument(AppState& state) {
    const ImageGrid& picture = state.picture;
    state.flowGrid = FlowGrid(picture.width, picture.height);
    seedParticles(state.previewParticles, picture.width, picture.height);
    state.context->makeCurrent();
    createRenderTargets(picture, state.targets);
    // Each product is formed in single precision, then widened.
    const float p = state.phaseSpacing;
    state.layerPhase = {static_cast<double>(2.0f * p), static_cast<double>(1.0f * p),
                        static_cast<double>(0.0f * p)};
    state.view = fitView(state.view, picture.width, picture.height);
    state.flowDirty = true;
}

}  // namespace

void startUp(AppState& state, int& argc, char** argv) {
    // 1-3. View, the two pictures.
    setProgramName(argc > 0 ? argv[0] : nullptr);
    state.view = View{};
    loadWorkingPicture(state.picture);
    state.overlayPicture = loadImage(overlayFileName);

    // 4-7. CPU-side state at the picture's size.
    const std::int32_t width = state.picture.width;
    const std::int32_t height = state.picture.height;
    state.flowGrid = FlowGrid(width, height);
    state.flowScale = kDefaultFlowScale;
    state.flowDirty = false;
    state.previousFrameDuration = 0.0;
    seedParticles(state.previewParticles, width, height);
    state.layerPhase = {0.0, 0.0, 0.0};
    state.mask = ByteMask(width, height);
    state.phaseSpacing = kDefaultPhaseSpacing;

    // 8. Time 0 of the program.
    startAppClock();

    // 9. Window system and GL context (no window shows yet).
    guiInit(argc, argv);
    state.context.emplace();
    state.context->makeCurrent();
    glewInit();

    // 10-11. GPU resources.
    createRenderTargets(state.picture, state.targets);
    if (!state.overlayPicture.empty()) {
        state.overlayTexture.upload(GL_RGBA8, state.overlayPicture.width, state.overlayPicture.height, GL_RGBA,
                                    GL_UNSIGNED_BYTE, state.overlayPicture.data());
    }

    // 12. First layer phases, on the clock.
    const double now = appClockSeconds();
    for (int i = 0; i < 3; ++i) state.layerPhase[i] = now - initialPhaseOffsets[i];

    // 13. The flow document, if there is a readable one.
    if (readFlowDocument(flowDocumentFileName, &state.picture, &state.mask, &state.flowScale,
                         &state.phaseSpacing)) {
        adoptFlowDocument(state);
    }

    // 14. The music plays on its own from here; its results don't matter.
    BASS_Init(defaultAudioDevice, audioOutputRate, 0, nullptr, nullptr);
    const std::uint32_t stream = BASS_StreamCreateFile(false, musicFileName, 0, 0, BASS_SAMPLE_LOOP);
    BASS_ChannelPlay(stream, true);

    // 15.
    state.frameCounter = 0;
}

void shutDown(AppState& state) {
    // Every GL object goes while its context still exists: the textures in
    // this order, then what the passes built.
    state.overlayTexture = Texture();
    releaseRenderTargets(state.targets);
    releasePassObjects();
    state.context.reset();
}
