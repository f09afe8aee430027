#include "app/window_export.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/commands.h"
#include "app/export_choices.h"
#include "flow/document.h"
#include "flow/scene_files.h"
#include "platform/fatal_error.h"
#include "platform/safe_file.h"

namespace fs = std::filesystem;

namespace {

// How long an export that was asked to stop gets to tidy up at the end of
// the run before it is killed.
constexpr double kStopGraceSeconds = 10.0;

// The scene's files other than the document, which the copy links to: the
// tool reads them as they are in the scene folder.
const char* const kLinkedSceneFiles[] = {pictureFileName,       overlayFileName,          musicFileName,
                                         passVertexFileName,    identityFragmentFileName, advectFragmentFileName,
                                         displaceFragmentFileName};

// The copy of the scene the tool reads: the working document as it stands,
// and links to the scene folder's other files.
bool makeSceneCopy(AppState& state, WindowExport& job, std::string& error) {
    if (!job.sceneCopy.make("stillflow-export", error)) return false;
    const fs::path copy = job.sceneCopy.path();
    std::string why;
    const FlowDocument document = workingDocument(state);
    if (!writeFlowDocument((copy / flowDocumentFileName).string().c_str(), document, &why)) {
        error = formatLine("cannot copy the scene for the export: %s", why.c_str());
        return false;
    }
    std::error_code code;
    const fs::path scene = fs::current_path(code);
    for (const char* name : kLinkedSceneFiles) {
        if (!fs::exists(scene / name, code)) continue;
        fs::create_symlink(scene / name, copy / name, code);
        if (code) {
            error = formatLine("cannot copy the scene for the export: %s: %s", name, code.message().c_str());
            return false;
        }
    }
    return true;
}

// Splits off the whole lines of `text`, leaving a partial last one.
template <typename Handle>
void takeLines(std::string& text, Handle handle) {
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        handle(text.substr(start, end - start));
        start = end + 1;
    }
    text.erase(0, start);
}

void readToolOutput(WindowExport& job) {
    job.tool.readOutput(job.outText, job.errText);
    takeLines(job.outText, [&job](const std::string& line) {
        if (!parseExportProgress(line, job.framesDone, job.framesTotal) && !line.empty()) job.summary = line;
    });
    takeLines(job.errText, [&job](const std::string& line) {
        if (!line.empty()) job.lastError = line;
    });
}

// The tool's summary names the output by the path it was given; the panel
// names the file as the scene folder holds it.
std::string summaryLine(const WindowExport& job) {
    const std::string name = fs::path(job.output).filename().string();
    if (job.summary.rfind(job.output, 0) == 0) return name + job.summary.substr(job.output.size());
    return job.summary.empty() ? "exported " + name : job.summary;
}

// The tool has ended with `exitCode`: its last word into the panel's
// message, and nothing left behind but a finished file that was wanted.
void concludeExport(AppState& state, int exitCode) {
    WindowExport& job = state.window.exportJob;
    readToolOutput(job);
    if (!job.outText.empty()) job.summary = job.outText;
    if (!job.errText.empty()) job.lastError = job.errText;
    std::error_code code;
    constexpr int kKilled = 128 + 9;  // SIGKILL: it had no chance to tidy up
    // A tool that had to be killed could not remove its temporary output.
    if (exitCode == kKilled) removeTemporariesBeside(job.output);
    if (job.cancelled) {
        // It may have finished before it heard the request.
        if (exitCode == 0) fs::remove(job.output, code);
        state.window.message = "export cancelled; nothing written";
        state.window.messageIsError = false;
    } else if (exitCode == 0) {
        state.window.message = summaryLine(job);
        state.window.messageIsError = false;
    } else {
        // The tool's line says "stillflow-export: why"; the window says it as its own.
        std::string why = job.lastError;
        const std::string toolPrefix = "stillflow-export: ";
        if (why.rfind(toolPrefix, 0) == 0) why.erase(0, toolPrefix.size());
        if (why.empty()) why = "stillflow-export ended with code " + std::to_string(exitCode);
        state.window.message = "export failed: " + why;
        state.window.messageIsError = true;
        reportProblem("%s", state.window.message.c_str());
    }
    job.sceneCopy.remove();
    job.tool = ChildProcess();
    job.outText.clear();
    job.errText.clear();
}

}  // namespace

bool startWindowExport(AppState& state, std::string& error) {
    WindowExport& job = state.window.exportJob;
    if (windowExportRunning(state)) {
        error = "an export is running; cancel it first";
        return false;
    }
    if (state.window.exportTool.empty()) {
        error = "cannot export: stillflow-export is not in the program's folder";
        return false;
    }
    // 1. The scene as it stands, where only the tool reads it.
    if (!makeSceneCopy(state, job, error)) {
        job.sceneCopy.remove();
        return false;
    }
    // 2. The output: a new name in the scene folder.
    std::error_code code;
    const fs::path scene = fs::current_path(code);
    job.output = (scene / freeExportName(scene.string(), job.request.format)).string();
    // 3. The tool, beside the program.
    std::vector<std::string> arguments = {state.window.exportTool};
    for (std::string& argument : exportArguments(job.request, job.sceneCopy.path(), job.output)) {
        arguments.push_back(std::move(argument));
    }
    job.framesDone = 0;
    job.framesTotal = 0;
    job.summary.clear();
    job.lastError.clear();
    job.outText.clear();
    job.errText.clear();
    job.cancelled = false;
    if (!job.tool.start(arguments, error)) {
        job.sceneCopy.remove();
        return false;
    }
    state.window.message = "exporting " + fs::path(job.output).filename().string();
    state.window.messageIsError = false;
    return true;
}

bool windowExportRunning(const AppState& state) { return state.window.exportJob.tool.running(); }

int windowExportPercent(const AppState& state) {
    const WindowExport& job = state.window.exportJob;
    if (!job.tool.running()) return -1;
    if (job.framesTotal <= 0) return 0;
    return static_cast<int>(job.framesDone * 100 / job.framesTotal);
}

void pollWindowExport(AppState& state) {
    WindowExport& job = state.window.exportJob;
    if (!job.tool.running()) return;
    readToolOutput(job);
    int exitCode = 0;
    if (job.tool.poll(exitCode)) concludeExport(state, exitCode);
}

void cancelWindowExport(AppState& state) {
    WindowExport& job = state.window.exportJob;
    if (!job.tool.running() || job.cancelled) return;
    job.cancelled = true;
    job.tool.requestStop();
}

void endWindowExport(AppState& state, bool finish) {
    WindowExport& job = state.window.exportJob;
    if (!job.tool.running()) return;
    if (!finish) cancelWindowExport(state);
    const int exitCode = job.tool.waitForEnd(finish ? 1e9 : kStopGraceSeconds, job.outText, job.errText);
    concludeExport(state, exitCode);
}
