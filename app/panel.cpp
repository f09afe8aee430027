#include "app/panel.h"

#include <imgui.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/commands.h"
#include "app/help.h"
#include "app/motion.h"
#include "app/unsaved_work.h"
#include "app/window_export.h"
#include "edit/history.h"
#include "flow/guides.h"
#include "flow/scene_files.h"

// Contents
//   1. layout
//   2. sections: the scene, Show, Edit, Export, Help
//   3. the question about unsaved work
//   4. the panel

namespace {

// ---- 1. layout -------------------------------------------------------------------------
// One column that fits beside the picture in the smallest window (512 x 256).
constexpr float kPanelWidth = 270.0f;
// Its distance from the window's edges.
constexpr float kPanelMargin = 6.0f;
// The widest a number field is, so that its +/- buttons fit the column.
constexpr float kFieldWidth = 110.0f;
// Colour of a message that says what went wrong.
const ImVec4 kErrorColour(1.0f, 0.45f, 0.4f, 1.0f);
// The room the message has, in lines of text.
constexpr float kMessageLines = 2.0f;
// The question's name for Dear ImGui.
constexpr const char* kQuestionName = "Unsaved changes";

// Widths and lengths the export takes (stillflow-export checks them again).
constexpr int kLargestWidth = 16384;
constexpr int kMostLoops = 1000;
constexpr float kLongestSeconds = 3600.0f;

// A switch for a drawing toggle: shows `on`, and calls `toggle` when clicked.
void toggleRow(const char* label, bool on, void (*toggle)(AppState&), AppState& state) {
    bool shown = on;
    if (ImGui::Checkbox(label, &shown)) toggle(state);
}

// A button that is greyed out, and does nothing, while `enabled` is false.
bool button(const char* label, bool enabled) {
    if (!enabled) ImGui::BeginDisabled();
    const bool clicked = ImGui::Button(label);
    if (!enabled) ImGui::EndDisabled();
    return clicked && enabled;
}

// ---- 2. sections ---------------------------------------------------------------------------

void sceneSection(const AppState& state) {
    // One line each, never wrapped (a long name is cut at the panel's
    // edge), so that the rows below stay where they are.
    const std::size_t guides = guideSegments.size();
    ImGui::TextUnformatted(state.sceneName.c_str());
    ImGui::Text("%zu %s%s", guides, guides == 1 ? "guide" : "guides", hasUnsavedChanges(state) ? ", unsaved changes" : "");
    // The message has room for two lines, whether there is one or not, so
    // that the rows below never move; a longer one scrolls.
    ImGui::BeginChild("message", ImVec2(0.0f, kMessageLines * ImGui::GetTextLineHeightWithSpacing()));
    if (state.window.messageIsError) ImGui::PushStyleColor(ImGuiCol_Text, kErrorColour);
    ImGui::TextWrapped("%s", state.window.message.c_str());
    if (state.window.messageIsError) ImGui::PopStyleColor();
    ImGui::EndChild();
}

void showSection(AppState& state) {
    if (!ImGui::CollapsingHeader("Show", ImGuiTreeNodeFlags_DefaultOpen)) return;
    toggleRow("Guides (G)", state.showGuides, toggleGuides, state);
    toggleRow("Particles (P)", state.showParticles, toggleParticles, state);
    toggleRow("Mask tint (M)", state.showMask, toggleMaskTint, state);
    toggleRow("Sharp filter (F)", state.pictureFilter == PictureFilter::Sharp, togglePictureFilter, state);
}

// A setting stepped with two buttons, as its two keys step it: "-" and "+",
// then the value and the keys. Says which was clicked: -1, +1, or 0.
int stepperRow(const char* id, const char* value) {
    ImGui::PushID(id);
    const bool lower = ImGui::Button("-");
    ImGui::SameLine();
    const bool higher = ImGui::Button("+");
    ImGui::PopID();
    ImGui::SameLine();
    ImGui::TextUnformatted(value);
    return lower ? -1 : higher ? 1 : 0;
}

MotionStep motionStep(int clicked) { return clicked < 0 ? MotionStep::Down : MotionStep::Up; }

void motionSection(AppState& state) {
    if (!ImGui::CollapsingHeader("Motion", ImGuiTreeNodeFlags_DefaultOpen)) return;
    toggleRow("Freeze where masked (K)", state.freezeWhereMasked, toggleFreeze, state);
    char text[64];
    std::snprintf(text, sizeof text, "brush %g px  ([ ])", static_cast<double>(state.brushRadius));
    if (const int clicked = stepperRow("brush", text)) {
        stepBrushRadius(state, clicked < 0 ? RadiusStep::Halve : RadiusStep::Double);
    }
    std::snprintf(text, sizeof text, "speed %.3gx  (- =)", speedFactor(state.flowScale));
    if (const int clicked = stepperRow("speed", text)) stepSpeed(state, motionStep(clicked));
    std::snprintf(text, sizeof text, "loop %g s  (, .)", static_cast<double>(state.phaseSpacing));
    if (const int clicked = stepperRow("loop", text)) stepLoopLength(state, motionStep(clicked));
}

void editSection(AppState& state) {
    if (!ImGui::CollapsingHeader("Edit", ImGuiTreeNodeFlags_DefaultOpen)) return;
    const EditHistory& history = state.history;
    if (button("Undo", history.applied > 0)) undoLastStep(state);
    ImGui::SameLine();
    if (button("Redo", history.applied < history.steps.size())) redoLastStep(state);
    ImGui::SameLine();
    if (button("Save", true)) saveWorkingDocument(state);
}

// The request's format, width, length and sound.
void exportChoices(WindowExportChoices& request) {
    const std::vector<VideoFormat> formats = windowExportFormats();
    ImGui::SetNextItemWidth(kFieldWidth);
    if (ImGui::BeginCombo("Format", videoFormatName(request.format))) {
        for (const VideoFormat format : formats) {
            if (ImGui::Selectable(videoFormatName(format), format == request.format)) request.format = format;
        }
        ImGui::EndCombo();
    }
    ImGui::SetNextItemWidth(kFieldWidth);
    ImGui::InputInt("Width (0: own)", &request.width, 64, 256);
    request.width = std::clamp(request.width, 0, kLargestWidth);

    int length = static_cast<int>(request.length);
    ImGui::RadioButton("3 s or more", &length, static_cast<int>(WindowExportLength::Standard));
    ImGui::SameLine();
    ImGui::RadioButton("Loops", &length, static_cast<int>(WindowExportLength::Loops));
    ImGui::SameLine();
    ImGui::RadioButton("Seconds", &length, static_cast<int>(WindowExportLength::Seconds));
    request.length = static_cast<WindowExportLength>(length);
    if (request.length == WindowExportLength::Loops) {
        ImGui::SetNextItemWidth(kFieldWidth);
        ImGui::InputInt("loops", &request.loops);
        request.loops = std::clamp(request.loops, 1, kMostLoops);
    } else if (request.length == WindowExportLength::Seconds) {
        float seconds = static_cast<float>(request.seconds);
        ImGui::SetNextItemWidth(kFieldWidth);
        ImGui::InputFloat("seconds", &seconds, 0.5f, 5.0f, "%.1f");
        request.seconds = std::clamp(seconds, 0.1f, kLongestSeconds);
    }

    const bool sound = videoFormatHasSound(request.format) && std::filesystem::exists(musicFileName);
    if (!sound) ImGui::BeginDisabled();
    bool music = request.music && sound;
    if (ImGui::Checkbox("Music (track.wav)", &music)) request.music = music;
    if (!sound) ImGui::EndDisabled();
}

void exportSection(AppState& state) {
    if (!ImGui::CollapsingHeader("Export", ImGuiTreeNodeFlags_DefaultOpen)) return;
    if (windowExportRunning(state)) {
        const int percent = windowExportPercent(state);
        char label[16];
        std::snprintf(label, sizeof label, "%d%%", percent);
        ImGui::ProgressBar(static_cast<float>(percent) / 100.0f, ImVec2(-1.0f, 0.0f), label);
        if (ImGui::Button("Cancel (Esc)")) cancelWindowExport(state);
        return;
    }
    exportChoices(state.window.exportJob.request);
    if (ImGui::Button("Export (Ctrl+E)")) exportFromWindow(state);
}

// The controls table, from the one list that --help and the README print.
void helpSection() {
    if (!ImGui::CollapsingHeader("Help")) return;
    for (const HelpLine& line : controlsHelp) {
        ImGui::Bullet();
        ImGui::SameLine();
        ImGui::TextWrapped("%s: %s", line.term, line.meaning);
    }
}

// ---- 3. the question about unsaved work ------------------------------------------------------

void question(AppState& state) {
    WindowSession& window = state.window;
    if (window.question != UnsavedQuestion::None && !ImGui::IsPopupOpen(kQuestionName)) {
        ImGui::OpenPopup(kQuestionName);
    }
    const ImGuiViewport* viewport = ImGui::GetMainViewport();
    ImGui::SetNextWindowPos(viewport->GetCenter(), ImGuiCond_Always, ImVec2(0.5f, 0.5f));
    if (!ImGui::BeginPopupModal(kQuestionName, nullptr,
                                ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoMove |
                                    ImGuiWindowFlags_NoSavedSettings)) {
        return;
    }
    if (window.question == UnsavedQuestion::None) {
        // Answered by a key before this frame's panel.
        ImGui::CloseCurrentPopup();
        ImGui::EndPopup();
        return;
    }
    ImGui::Text("%s has unsaved changes.", state.sceneName.c_str());
    if (window.question == UnsavedQuestion::BeforeQuitting) {
        ImGui::Text("Save them before quitting?");
    } else {
        ImGui::Text("Save them before opening %s?",
                    std::filesystem::path(window.questionPath).filename().string().c_str());
    }
    UnsavedAnswer answer = UnsavedAnswer::None;
    if (ImGui::Button("Save (S)")) answer = UnsavedAnswer::Save;
    ImGui::SameLine();
    if (ImGui::Button("Discard (D)")) answer = UnsavedAnswer::Discard;
    ImGui::SameLine();
    if (ImGui::Button("Cancel (Esc)")) answer = UnsavedAnswer::Cancel;
    if (answer != UnsavedAnswer::None) {
        answerUnsavedQuestion(state, answer);
        ImGui::CloseCurrentPopup();
    }
    ImGui::EndPopup();
}

}  // namespace

// ---- 4. the panel ------------------------------------------------------------------------------

bool panelInUse(const AppState& state) {
    return state.window.panelShown || state.window.question != UnsavedQuestion::None;
}

void buildPanel(AppState& state) {
    if (state.window.panelShown) {
        const ImGuiViewport* viewport = ImGui::GetMainViewport();
        const float tallest = std::max(viewport->Size.y - 2.0f * kPanelMargin, 64.0f);
        ImGui::SetNextWindowPos(ImVec2(kPanelMargin, kPanelMargin), ImGuiCond_Always);
        ImGui::SetNextWindowSizeConstraints(ImVec2(kPanelWidth, 0.0f), ImVec2(kPanelWidth, tallest));
        ImGui::Begin("Stillflow", nullptr,
                     ImGuiWindowFlags_NoMove | ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoSavedSettings);
        sceneSection(state);
        showSection(state);
        motionSection(state);
        editSection(state);
        exportSection(state);
        helpSection();
        ImGui::End();
    }
    question(state);
}
