#include "app/startup.h"

#include <cstdio>
#include <string>

#include "app/app_clock.h"
#include "app/picture_limits.h"
#include "app/schedule.h"
#include "app/window_title.h"
#include "flow/document.h"
#include "flow/particles.h"
#include "flow/scene_files.h"
#include "gpu/drawing.h"
#include "gpu/gl_runtime.h"
#include "gpu/gpu_limits.h"
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

constexpr double kBytesPerGibibyte = 1024.0 * 1024.0 * 1024.0;

// Loads the working picture, or ends the run saying why it can't be used.
// A size no GPU or not the machine's memory could take is refused from the
// file's header, before the decoder allocates anything for it.
void loadWorkingPicture(ImageGrid& picture) {
    if (std::FILE* file = std::fopen(pictureFileName, "rb")) {
        std::fclose(file);
    } else {
        fatalError("cannot open \"%s\" in the working directory", pictureFileName);
    }
    std::int32_t width = 0;
    std::int32_t height = 0;
    if (readPictureSize(pictureFileName, &width, &height)) {
        const std::string problem = pictureSizeProblem(width, height, PictureUse::animated, limitsBeforeGpu());
        if (!problem.empty()) fatalError("\"%s\" is %s", pictureFileName, problem.c_str());
    }
    picture = loadImage(pictureFileName);
    if (picture.empty()) fatalError("\"%s\" is not a picture that can be decoded", pictureFileName);
    if (picture.width < kMinimumGridSide || picture.height < kMinimumGridSide) {
        fatalError("\"%s\" is %d x %d pixels; at least %d x %d are needed", pictureFileName, picture.width,
                   picture.height, kMinimumGridSide, kMinimumGridSide);
    }
}

// The overlay, or an empty picture (not drawn) when there is none or it is too
// large; a refused overlay gets one line on standard error.
ImageGrid loadOverlayPicture() {
    std::int32_t width = 0;
    std::int32_t height = 0;
    if (readPictureSize(overlayFileName, &width, &height)) {
        const std::string problem = pictureSizeProblem(width, height, PictureUse::overlay, limitsBeforeGpu());
        if (!problem.empty()) {
            reportProblem("\"%s\" is %s; it is not drawn", overlayFileName, problem.c_str());
            return ImageGrid();
        }
    }
    return loadImage(overlayFileName);
}

// Builds the render targets at the picture's size, or ends the run when the
// GPU has no memory for them.
void createPictureTargets(AppState& state) {
    const ImageGrid& picture = state.picture;
    clearGlErrors();
    createRenderTargets(picture, state.targets);
    if (!gpuRanOutOfMemory()) return;
    fatalError("the GPU has no memory for the textures of the %d x %d picture (%.1f GiB needed)", picture.width,
               picture.height,
               static_cast<double>(pictureTextureBytes(picture.width, picture.height, PictureUse::animated)) /
                   kBytesPerGibibyte);
}

// Uploads the overlay; an overlay the GPU cannot take is dropped (not drawn)
// after one line on standard error.
void uploadOverlay(AppState& state, const PictureLimits& gpuLimits) {
    ImageGrid& overlay = state.overlayPicture;
    if (overlay.empty()) return;
    std::string problem = pictureSizeProblem(overlay.width, overlay.height, PictureUse::overlay, gpuLimits);
    if (problem.empty()) {
        clearGlErrors();
        uploadOverlayPicture(overlay, state.overlayTexture);
        if (!gpuRanOutOfMemory()) return;
        problem = std::to_string(overlay.width) + " x " + std::to_string(overlay.height) +
                  " pixels, more than the GPU has memory for";
    }
    reportProblem("\"%s\" is %s; it is not drawn", overlayFileName, problem.c_str());
    state.overlayTexture = Texture();
    state.maskTexture = Texture();
    overlay = ImageGrid();
}

// What a successful document read changes: everything picture-sized follows
// the document's picture, the phases come from its spacing, and the first
// frame synthesises its guides.
void adoptFlowDocument(AppState& state) {
    const ImageGrid& picture = state.picture;
    state.flowGrid = FlowGrid(picture.width, picture.height);
    seedParticles(state.previewParticles, picture.width, picture.height);
    state.context->makeCurrent();
    createPictureTargets(state);
    // Each product is formed in single precision, then widened.
    const float p = state.phaseSpacing;
    state.layerPhase = {static_cast<double>(2.0f * p), static_cast<double>(1.0f * p),
                        static_cast<double>(0.0f * p)};
    state.view = fitView(state.view, picture.width, picture.height);
    state.flowDirty = true;
}

}  // namespace

void loadScenePictures(AppState& state) {
    // The view, the two pictures.
    state.view = View{};
    loadWorkingPicture(state.picture);
    state.overlayPicture = loadOverlayPicture();

    // CPU-side state at the picture's size.
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
}

void createSceneTextures(AppState& state) {
    // The GPU's own limits decide now for what passed the header checks.
    const PictureLimits gpuLimits = limitsOfGpu();
    const std::string problem =
        pictureSizeProblem(state.picture.width, state.picture.height, PictureUse::animated, gpuLimits);
    if (!problem.empty()) fatalError("\"%s\" is %s", pictureFileName, problem.c_str());
    createPictureTargets(state);
    uploadOverlay(state, gpuLimits);
}

void readSceneDocument(AppState& state, double now) {
    for (int i = 0; i < 3; ++i) state.layerPhase[i] = now - initialPhaseOffsets[i];

    // A document that is there but refused is named on standard error, so
    // the user learns why their guides did not appear; the run goes on
    // without it.
    const PictureLimits gpuLimits = limitsOfGpu();
    DocumentReadReport report;
    report.checkPictureSize = [&gpuLimits](std::int32_t width, std::int32_t height) {
        const std::string problem = pictureSizeProblem(width, height, PictureUse::animated, gpuLimits);
        return problem.empty() ? problem : "its picture is " + problem;
    };
    if (readFlowDocument(flowDocumentFileName, &state.picture, &state.mask, &state.flowScale,
                         &state.phaseSpacing, &report)) {
        adoptFlowDocument(state);
    } else if (!report.refusal.empty()) {
        reportProblem("\"%s\" is not used: %s", flowDocumentFileName, report.refusal.c_str());
    }
}

void startUp(AppState& state, int& argc, char** argv) {
    // 1-2. The name for error lines, the view, the two pictures, the CPU-side
    // state at the picture's size.
    setProgramName(argc > 0 ? argv[0] : nullptr);
    state.sceneName = sceneFolderName();
    loadScenePictures(state);

    // 3. Time 0 of the program.
    startAppClock();

    // 4. Window system and GL context (no window shows yet).
    guiInit(argc, argv);
    state.context.emplace();
    state.context->makeCurrent();
    loadGlFunctions();

    // 5. GPU resources; the window is not shown before the first frame.
    createSceneTextures(state);

    // 6-7. First layer phases, on the clock; the flow document, if there is
    // a usable one.
    readSceneDocument(state, appClockSeconds());

    // 8. The music plays on its own from here; its results don't matter.
    BASS_Init(defaultAudioDevice, audioOutputRate, 0, nullptr, nullptr);
    const std::uint32_t stream = BASS_StreamCreateFile(false, musicFileName, 0, 0, BASS_SAMPLE_LOOP);
    BASS_ChannelPlay(stream, true);

    // 9. The loop counts its frames from here.
    state.frameCounter = 0;
}

void startUpOffscreen(AppState& state, const char* argv0) {
    // The same steps as startUp, on the offscreen backend and without the
    // clock's time or the music: the run's time is the caller's.
    setProgramName(argv0);
    loadScenePictures(state);

    static char platformOption[] = "-platform", offscreen[] = "offscreen", sizeOption[] = "-size",
                smallestSize[] = "16x16";
    std::string name = programName();  // a copy: guiInit stores the name again from it
    char* guiArguments[] = {name.data(), platformOption, offscreen, sizeOption, smallestSize, nullptr};
    int guiArgumentCount = 5;
    guiInit(guiArgumentCount, guiArguments);
    state.context.emplace();
    state.context->makeCurrent();
    loadGlFunctions();

    createSceneTextures(state);
    readSceneDocument(state, 0.0);
    state.frameCounter = 0;
}

void shutDown(AppState& state) {
    // Every GL object goes while its context still exists: the textures in
    // this order, then what the passes built.
    state.overlayTexture = Texture();
    state.maskTexture = Texture();
    releaseRenderTargets(state.targets);
    releasePassObjects();
    state.context.reset();
}
