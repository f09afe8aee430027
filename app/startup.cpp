#include "app/startup.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "app/app_clock.h"
#include "app/layer_plan.h"
#include "app/picture_limits.h"
#include "app/schedule.h"
#include "app/window_title.h"
#include "edit/view.h"
#include "flow/document.h"
#include "flow/guides.h"
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
#include "platform/regular_file.h"

namespace {

// Offsets of the first layer phases when no document gives them: fixed, so
// the layers are half a second apart whatever the spacing.
constexpr double initialPhaseOffsets[3] = {1.0, 0.5, 0.0};

constexpr int defaultAudioDevice = -1;
constexpr std::uint32_t audioOutputRate = 44100;

constexpr double kBytesPerGibibyte = 1024.0 * 1024.0 * 1024.0;

// The widget of programs that draw into textures of their own: the smallest.
constexpr int kHeadlessWidgetSide = 16;

// Why the picture file at `path`, at the size its header declares, cannot
// be used as `use` within `limits`: the decoder's limit (the same on every
// machine), then the sides, memory and the GPU's answer. Empty when it can,
// or when the header cannot be read (decoding then says).
std::string pictureFileProblem(const char* path, PictureUse use, const PictureLimits& limits) {
    std::int32_t width = 0;
    std::int32_t height = 0;
    if (!readPictureSize(path, &width, &height)) return {};
    const std::string problem = pictureDecodeProblem(width, height);
    return problem.empty() ? pictureSizeProblem(width, height, use, limits) : problem;
}

// Loads the working picture, or says why it can't be used. Only a regular
// file is read, and a size no GPU, not the decoder or not the machine's
// memory could take is refused from the file's header, before the decoder
// allocates anything for it.
bool loadWorkingPicture(ImageGrid& picture, std::string& error) {
    std::string why;
    switch (checkRegularFile(pictureFileName, why)) {
    case FileCheck::regular: break;
    case FileCheck::missing:
        error = formatLine("cannot open \"%s\" in the working directory", pictureFileName);
        return false;
    case FileCheck::unusable:
        error = formatLine("\"%s\" cannot be read: %s", pictureFileName, why.c_str());
        return false;
    }
    const std::string problem = pictureFileProblem(pictureFileName, PictureUse::animated, limitsBeforeGpu());
    if (!problem.empty()) {
        error = formatLine("\"%s\" is %s", pictureFileName, problem.c_str());
        return false;
    }
    picture = loadImage(pictureFileName);
    if (picture.empty()) {
        error = formatLine("\"%s\" is not a picture that can be decoded", pictureFileName);
        return false;
    }
    if (picture.width < kMinimumGridSide || picture.height < kMinimumGridSide) {
        error = formatLine("\"%s\" is %d x %d pixels; at least %d x %d are needed", pictureFileName, picture.width,
                           picture.height, kMinimumGridSide, kMinimumGridSide);
        return false;
    }
    return true;
}

// The overlay, or an empty picture (not drawn) when there is none. Read once
// the GPU's own limits are known, so that a picture this GPU cannot take is
// refused from its header before it is decoded; one that is there but
// cannot be used gets one line on standard error.
ImageGrid loadOverlayPicture(const PictureLimits& gpuLimits) {
    std::string why;
    const FileCheck check = checkRegularFile(overlayFileName, why);
    if (check == FileCheck::missing) return ImageGrid();
    if (check == FileCheck::unusable) {
        reportProblem("\"%s\" is not drawn: %s", overlayFileName, why.c_str());
        return ImageGrid();
    }
    const std::string problem = pictureFileProblem(overlayFileName, PictureUse::overlay, gpuLimits);
    if (!problem.empty()) {
        reportProblem("\"%s\" is %s; it is not drawn", overlayFileName, problem.c_str());
        return ImageGrid();
    }
    ImageGrid overlay = loadImage(overlayFileName);
    if (overlay.empty()) reportProblem("\"%s\" is not drawn: it is not a picture that can be decoded", overlayFileName);
    return overlay;
}

// Builds the render targets at the picture's size, or says that the GPU has
// no memory for them.
bool createPictureTargets(AppState& state, std::string& error) {
    const ImageGrid& picture = state.picture;
    clearGlErrors();
    createRenderTargets(picture, state.targets);
    state.layerScale = 1.0f;
    if (!gpuRanOutOfMemory()) return true;
    error = formatLine("the GPU has no memory for the textures of the %d x %d picture (%.1f GiB needed)",
                       picture.width, picture.height,
                       static_cast<double>(pictureTextureBytes(picture.width, picture.height, PictureUse::animated)) /
                           kBytesPerGibibyte);
    return false;
}

// Reads and uploads the overlay; an overlay the GPU cannot take is dropped
// (not drawn) after one line on standard error.
void uploadOverlay(AppState& state, const PictureLimits& gpuLimits) {
    ImageGrid& overlay = state.overlayPicture;
    overlay = loadOverlayPicture(gpuLimits);
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
bool adoptFlowDocument(AppState& state, std::string& error) {
    const ImageGrid& picture = state.picture;
    state.flowGrid = FlowGrid(picture.width, picture.height);
    seedParticles(state.previewParticles, picture.width, picture.height);
    state.context->makeCurrent();
    if (!guiFailure().empty()) {
        error = guiFailure();
        return false;
    }
    if (!createPictureTargets(state, error)) return false;
    // Each product is formed in single precision, then widened.
    const float p = state.phaseSpacing;
    state.layerPhase = {static_cast<double>(2.0f * p), static_cast<double>(1.0f * p),
                        static_cast<double>(0.0f * p)};
    state.view = fitView(state.view, picture.width, picture.height);
    state.flowDirty = true;
    return true;
}

// The view, the working picture, and the CPU-side state at its size.
bool loadScenePictures(AppState& state, std::string& error) {
    state.view = View{};
    if (!loadWorkingPicture(state.picture, error)) return false;
    state.overlayPicture = ImageGrid();  // read with the GPU's limits (createSceneTextures)

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
    state.freezeWhereMasked = false;
    state.brushRadius = kDefaultBrushRadius;
    return true;
}

// The window system and the GL context, current, with GLEW's entry points
// (no window shows yet).
bool startGl(AppState& state, const GuiOptions& gui, std::string& error) {
    if (!guiStart(gui, error)) return false;
    state.context.emplace();
    if (!state.context->failure().empty()) {
        error = state.context->failure();
        state.context.reset();
        return false;
    }
    state.context->makeCurrent();
    if (!guiFailure().empty()) {
        error = guiFailure();
        state.context.reset();
        return false;
    }
    loadGlFunctions();
    return true;
}

// A window shows a loop only within a range of phase spacings: a document's
// spacing outside it runs at the nearest bound, after one line naming the
// document's own value (which a save then replaces).
void fitPhaseSpacingToWindow(AppState& state) {
    const float spacing = state.phaseSpacing;
    const float shown = shownPhaseSpacing(spacing);
    if (shown == spacing) return;
    reportProblem("\"%s\" has a phase spacing of %g s, %s than the %g s the window shows as a loop; it runs at %g s",
                  flowDocumentFileName, static_cast<double>(spacing), shown > spacing ? "shorter" : "longer",
                  static_cast<double>(shown), static_cast<double>(shown));
    state.phaseSpacing = shown;
}

// The first layer phases for a run whose clock reads `now`, then the flow
// document if there is a usable one. A document that is there but refused
// is named on standard error, so the user learns why their guides did not
// appear; the run goes on without it. Guides left out of a document that is
// used are counted in one line too.
bool readSceneDocument(AppState& state, const SceneOptions& options, double now, std::string& error) {
    for (int i = 0; i < 3; ++i) state.layerPhase[i] = now - initialPhaseOffsets[i];

    const PictureLimits gpuLimits = limitsOfGpu();
    DocumentReadReport report;
    report.checkPictureSize = [&gpuLimits](std::int32_t width, std::int32_t height) {
        const std::string problem = pictureSizeProblem(width, height, PictureUse::animated, gpuLimits);
        return problem.empty() ? problem : "its picture is " + problem;
    };
    DocumentSettings settings;
    if (readFlowDocument(flowDocumentFileName, &state.picture, &state.mask, &state.flowScale,
                         &state.phaseSpacing, &settings, &report)) {
        state.freezeWhereMasked = settings.freeze;
        state.brushRadius = settings.brushRadius;
        if (report.droppedGuides > 0) {
            reportProblem("\"%s\": %d guide%s with a coordinate that is not a finite number %s left out",
                          flowDocumentFileName, report.droppedGuides, report.droppedGuides == 1 ? "" : "s",
                          report.droppedGuides == 1 ? "is" : "are");
        }
        if (options.fitPhaseSpacingToWindow) fitPhaseSpacingToWindow(state);
        return adoptFlowDocument(state, error);
    }
    if (!report.refusal.empty()) {
        reportProblem("\"%s\" is not used: %s", flowDocumentFileName, report.refusal.c_str());
    }
    return true;
}

// The music plays on its own from here; its results don't matter.
std::uint32_t startMusic() {
    BASS_Init(defaultAudioDevice, audioOutputRate, 0, nullptr, nullptr);
    const std::uint32_t stream = BASS_StreamCreateFile(false, musicFileName, 0, 0, BASS_SAMPLE_LOOP);
    BASS_ChannelPlay(stream, true);
    return stream;
}

}  // namespace

SceneOptions headlessSceneOptions() {
    SceneOptions options;
    options.gui.backend = GuiBackend::Offscreen;
    options.gui.width = kHeadlessWidgetSide;
    options.gui.height = kHeadlessWidgetSide;
    options.onAppClock = false;
    options.playMusic = false;
    options.fitPhaseSpacingToWindow = false;
    return options;
}

bool createSceneTextures(AppState& state, std::string& error) {
    // The GPU's own limits decide now for what passed the header checks.
    const PictureLimits gpuLimits = limitsOfGpu();
    const std::string problem =
        pictureSizeProblem(state.picture.width, state.picture.height, PictureUse::animated, gpuLimits);
    if (!problem.empty()) {
        error = formatLine("\"%s\" is %s", pictureFileName, problem.c_str());
        return false;
    }
    if (!createPictureTargets(state, error)) return false;
    uploadOverlay(state, gpuLimits);
    return true;
}

bool openScene(AppState& state, const SceneOptions& options, std::string& error) {
    // 1-2. The folder's name for the window title, the view, the two
    // pictures, the CPU-side state at the picture's size.
    state.sceneName = sceneFolderName();
    if (!loadScenePictures(state, error)) return false;

    // 3. Time 0 of a run on the clock.
    if (options.onAppClock) startAppClock();

    // 4-5. Window system and GL context (no window shows yet), then the GPU
    // resources. A failure from here on gives back what the GPU holds.
    if (!startGl(state, options.gui, error)) return false;
    if (!createSceneTextures(state, error)) {
        shutDown(state);
        return false;
    }

    // 6-7. First layer phases, on the clock or at time 0; the flow document,
    // if there is a usable one.
    if (!readSceneDocument(state, options, options.onAppClock ? appClockSeconds() : 0.0, error)) {
        shutDown(state);
        return false;
    }

    // 8. The music.
    state.playMusic = options.playMusic;
    if (options.playMusic) state.musicStream = startMusic();

    // 9. The loop counts its frames from here.
    state.frameCounter = 0;
    return true;
}

bool openSceneInWindow(AppState& state, const std::string& folder, std::string& error) {
    // 1. Into the folder; the way back, and the guides, kept for a failure.
    std::error_code code;
    const std::filesystem::path previousFolder = std::filesystem::current_path(code);
    std::filesystem::current_path(folder, code);
    if (code) {
        error = formatLine("cannot enter \"%s\": %s", folder.c_str(), code.message().c_str());
        return false;
    }
    const std::vector<GuideSegment> previousGuides = guideSegments;
    guideSegments.clear();
    // The next scene runs on the window's context; it comes back on failure.
    AppState next;
    next.context.emplace(std::move(*state.context));
    auto giveUp = [&](const std::string& why) {
        *state.context = std::move(*next.context);
        guideSegments = previousGuides;
        std::error_code ignored;
        std::filesystem::current_path(previousFolder, ignored);
        error = formatLine("\"%s\": %s", folder.c_str(), why.c_str());
        return false;
    };

    // 2. The pictures and the CPU-side state.
    std::string why;
    next.sceneName = sceneFolderName();
    if (!loadScenePictures(next, why)) return giveUp(why);

    // 3. The new folder's shader programs, so that a scene whose shaders do
    //    not build is refused here rather than ending the run at its first
    //    frame. The old scene's programs are built again if it stays.
    releasePassObjects();
    if (const std::optional<PassFailure> failure = buildPassPrograms()) {
        releasePassObjects();
        return giveUp(failure->reason);
    }

    // 4. The textures, then the document (which may replace the picture),
    //    read as the program reads it at start-up.
    if (!createSceneTextures(next, why) || !readSceneDocument(next, SceneOptions{}, appClockSeconds(), why)) {
        releasePassObjects();
        return giveUp(why);
    }

    // 5. What belongs to the window goes on; the view fits the new picture.
    next.window = std::move(state.window);
    next.showGuides = state.showGuides;
    next.showParticles = state.showParticles;
    next.showMask = state.showMask;
    next.frameCounter = state.frameCounter;
    next.previousFrameDuration = state.previousFrameDuration;
    next.view.width = state.view.width;
    next.view.height = state.view.height;
    next.view = fitView(next.view, next.picture.width, next.picture.height);

    // 6. The old scene's music stops, the new one's starts; then the old
    //    scene goes, its textures while the context is current.
    next.playMusic = state.playMusic;
    if (state.musicStream != 0) BASS_StreamFree(state.musicStream);
    if (next.playMusic) next.musicStream = startMusic();
    state = std::move(next);
    return true;
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
