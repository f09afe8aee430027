#include "app/export.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "app/export_frames.h"
#include "flow/scene_files.h"
#include "gpu/passes.h"
#include "media/audio_decoding.h"
#include "media/video_encoding.h"
#include "platform/fatal_error.h"
#include "platform/music_limit.h"

namespace fs = std::filesystem;

namespace {

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

bool carriesSound(const VideoFormatRow& row) { return videoFormatHasSound(row.format); }

// ".mp4, .webm, .gif, or frame-%05d.png for PNG frames"
std::string outputNamesText() {
    std::vector<std::string> names;
    for (const VideoFormatRow& row : kVideoFormats) {
        names.push_back(!videoFormatIsNumberedFiles(row.format)
                            ? std::string(row.extension)
                            : std::string(row.exampleName) + " for " + row.name);
    }
    return joinList(names, ", ", ", or ");
}

// A number of seconds as a document states it: "0.001", "5000", "0.5".
std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", seconds);
    return text;
}

// The track, or only the part of it the video needs (`seconds`, when its
// length is set by --seconds or --loops: a long track's start, the rest never
// decoded); a whole track is held to the music limit the program and
// stillflow-new share.
bool readMusic(PcmAudio& sound, std::optional<double> seconds, std::string& error) {
    std::string reason;
    AudioDecodeOptions options;
    options.sampleRate = kVideoSoundRate;
    options.maxChannels = 2;
    options.longestSeconds = kLongestMusicSeconds;
    if (seconds) options.firstSeconds = std::min(*seconds, kMaxExportSeconds);
    if (!decodeAudioFile(musicFileName, sound, reason, options)) {
        error = std::string("cannot use ") + quoted(musicFileName) + " as the sound: " + reason;
        return false;
    }
    if (sound.frameCount() == 0) {
        error = quoted(musicFileName) + " holds no sound";
        return false;
    }
    return true;
}

// The grid of a loop, refused where the document's phase spacing makes no
// sensible video: a period shorter than a frame would state a rate over
// kMaxExportFps (1 ms gives 1000 fps), and one period longer than the hour
// cannot be exported whole.
bool planLoopGrid(const AppState& state, const ExportRequest& request, ExportTiming& timing, std::string& error) {
    const double spacing = static_cast<double>(state.phaseSpacing);
    const std::string value = "the flow document's phaseSpacing of " + secondsText(spacing) + " s";
    timing = planLoopExport(state.phaseSpacing, request.fps, request.loops);
    const double rate = static_cast<double>(timing.rateNumerator) / static_cast<double>(timing.rateDenominator);
    if (rate > kMaxExportFps) {
        error = value + " makes each period of the loop shorter than a frame at " + secondsText(request.fps) +
                " fps (a loop of whole frames would need " + secondsText(rate) +
                " fps); --seconds S exports a length at the rate asked for";
        return false;
    }
    if (spacing > kMaxExportSeconds) {
        error = value + " makes one period of the loop longer than the hour an export may last; --seconds S "
                        "exports a part of it";
        return false;
    }
    return true;
}

bool planTiming(const AppState& state, const ExportRequest& request, const PcmAudio* sound, ExportTiming& timing,
                std::string& error) {
    if (request.seconds) {
        timing = planTimedExport(request.fps, *request.seconds);
    } else if (sound && request.loops == 0) {
        // As long as the track, on the loop's grid: its frames repeat too.
        if (!planLoopGrid(state, request, timing, error)) return false;
        const double seconds = static_cast<double>(sound->frameCount()) / sound->sampleRate;
        const double framesPerSecond = static_cast<double>(timing.framesPerPeriod) / state.phaseSpacing;
        timing.frameCount = std::max<std::int64_t>(1, std::llround(seconds * framesPerSecond));
    } else {
        if (!planLoopGrid(state, request, timing, error)) return false;
        if (exportDuration(timing) > kMaxExportSeconds) {
            error = "--loops " + std::to_string(request.loops) + " would last over an hour; ask for fewer";
            return false;
        }
    }
    // The warm-up renders every grid step from the first layer reset until
    // all three were reset: some three periods. Beyond the frames of an hour
    // at this rate it would run for ever before the first frame.
    const ExportStart start = findExportStart(timing, state.phaseSpacing, state.layerPhase);
    const double warmUpLimit = kMaxExportSeconds * timing.stepDivisor / timing.stepNumerator;
    if (static_cast<double>(start.firstFrame - start.warmUpStart) > warmUpLimit) {
        error = "the flow document's phaseSpacing of " + secondsText(state.phaseSpacing) +
                " s needs a warm-up of " + std::to_string(start.firstFrame - start.warmUpStart) +
                " frames before the first one, more than an hour's";
        return false;
    }
    return true;
}

VideoSettings videoSettings(const ExportRequest& request, const ExportPlan& plan, const ExportFrames& frames) {
    VideoSettings settings;
    settings.format = plan.format;
    settings.sourceWidth = frames.width;
    settings.sourceHeight = frames.height;
    settings.size = videoFrameSize(plan.format, frames.width, frames.height, request.width);
    settings.rateNumerator = plan.timing.rateNumerator;
    settings.rateDenominator = plan.timing.rateDenominator;
    settings.frameCount = plan.timing.frameCount;
    // A loop's grid repeats to the bit once every period (frames.loop); a
    // length in seconds has no such promise.
    settings.periodFrames = frames.loop ? plan.timing.framesPerPeriod : 0;
    settings.quality = request.quality;
    settings.sound = plan.sound ? &*plan.sound : nullptr;
    return settings;
}

}  // namespace

bool checkExportRequest(const ExportRequest& request, std::string& error) {
    const VideoFormat format = videoFormatOfPath(request.output);
    if (format == VideoFormat::Unknown) {
        error = "cannot tell the format of " + quoted(request.output) + ": name it " + outputNamesText();
        return false;
    }
    if (request.music && !videoFormatHasSound(format)) {
        error = std::string(videoFormatName(format)) + " has no sound: use " +
                videoExtensionList(carriesSound, ", ", " or ") + " with --music";
        return false;
    }
    int lowest = 0, highest = 0, standard = 0;
    if (request.quality >= 0 && videoQualityRange(format, lowest, highest, standard) &&
        (request.quality < lowest || request.quality > highest)) {
        error = "--quality " + std::to_string(request.quality) + " is beyond " + videoFormatName(format) +
                "'s range " + std::to_string(lowest) + "-" + std::to_string(highest);
        return false;
    }
    // Said now rather than when the finished file cannot take the name.
    std::error_code code;
    if (!videoFormatIsNumberedFiles(format) && fs::is_directory(request.output, code)) {
        error = quoted(request.output) + " is a folder: name a file for the " + videoFormatName(format);
        return false;
    }
    return true;
}

bool planExport(const AppState& state, const ExportRequest& request, ExportPlan& plan, std::string& error) {
    plan.format = videoFormatOfPath(request.output);
    plan.sound.reset();
    std::optional<double> musicSeconds = request.seconds;
    if (request.loops > 0) {
        musicSeconds = exportDuration(planLoopExport(state.phaseSpacing, request.fps, request.loops));
    }
    if (request.music && !readMusic(plan.sound.emplace(), musicSeconds, error)) return false;
    return planTiming(state, request, plan.sound ? &*plan.sound : nullptr, plan.timing, error);
}

bool writeExport(AppState& state, const ExportRequest& request, const ExportPlan& plan,
                 const ExportProgress& progress, ExportResult& result, std::string& error) {
    result = ExportResult();
    auto cancelled = [&progress, &result]() {
        result.cancelled = result.cancelled || (progress.cancelled && progress.cancelled());
        return result.cancelled;
    };
    auto report = [&progress, &plan](std::int64_t done) {
        if (progress.report) progress.report(done, plan.timing.frameCount);
    };

    // 1. The warm-up builds the passes' shaders, so a missing shader ends
    //    the export before any file exists (its logs are on standard output).
    ExportFrames frames;
    if (const std::optional<PassFailure> warmUp = startExportFrames(state, plan.timing, request.overlay, frames)) {
        error = warmUp->reason;
        return false;
    }
    if (!displaceHasSharpFilter()) {
        reportProblem("displace.frag here has no sharp filter (it was written before there was one), so the "
                      "video keeps the filter it has; the shader files of a scene made now by stillflow-new can "
                      "replace this folder's");
    }

    // 2. The output, under a temporary name until complete.
    const VideoSettings settings = videoSettings(request, plan, frames);
    result.size = settings.size;
    VideoOutput output;
    if (!openVideo(output, request.output, settings, error)) {
        releaseExportFrames(frames);
        return false;
    }

    // 3. Each distinct frame rendered once, encoded as it is read back.
    frames.timing.frameCount = videoFramesHandedIn(settings);
    bool complete = renderAllExportFrames(state, frames, [&](const std::uint8_t* rgba, std::int64_t k) {
        if (cancelled() || !writeVideoFrame(output, rgba, error)) return false;
        report(k + 1);
        return true;
    });
    if (!complete && frames.passFailure) error = frames.passFailure->reason;
    if (!complete && error.empty() && !result.cancelled) error = "cannot read the frames back from the GPU";
    // The animation's textures, and the passes' framebuffers that still hold
    // some of them, have done their part: their memory goes back before the
    // encoder, which has held the period's frames so far, encodes them.
    releaseExportFrames(frames);
    releaseRenderTargets(state.targets);
    releasePassObjects();

    // 4. The loop's later periods, written from the first.
    while (complete && videoFramesWritten(output) < settings.frameCount) {
        complete = !cancelled() && repeatVideoFrames(output, error);
        if (complete) report(videoFramesWritten(output));
    }

    // 5. The file into place; the output is dropped (and with it whatever
    //    was written) on any failure.
    if (!complete || !finishVideo(output, error)) return false;
    result.bytes = finishedVideoBytes(output);
    return true;
}
