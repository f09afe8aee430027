// The panel's Dear ImGui: its context, the input it is fed (the window's
// events through Dear ImGui's SDL2 backend, offscreen the scripted state of
// the frame), and its drawing with the OpenGL2 renderer backend, which fits
// the program's fixed-function drawing in the compatibility context.
#include <imgui.h>
#include <backends/imgui_impl_opengl2.h>

#include "platform/gui_backend.h"

namespace {
// The one Dear ImGui context of the process and where its frame stands.
struct PanelSession {
    bool started = false;
    bool windowBackend = false;  // the SDL2 platform backend is up
    bool frameOpen = false;      // NewFrame called, not yet rendered
    bool keyboard = false;       // the last frame's answer to "does the panel take the keys?"
};
PanelSession panel;

// Wheel travel of one notch, in the queries' units.
constexpr float kWheelUnitsPerNotch = 120.0f;

bool held(const GuiInputState& input, MouseButton button) {
    const int index = guiButtonIndex(button);
    return index >= 0 && (input.buttonHeld[index] || input.buttonDown[index]);
}

bool keyHeld(const GuiInputState& input, Key key) {
    const int index = guiKeyIndex(key);
    return index >= 0 && (input.keyHeld[index] || input.keyWentDown[index]);
}

bool startPanelContext(bool offscreen) {
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    // The panel's place and state are the program's to decide: no
    // "imgui.ini" appears in the scene folder.
    io.IniFilename = nullptr;
    io.LogFilename = nullptr;
    ImGui::StyleColorsDark();
    if (!offscreen) {
        if (!startWindowPanel()) {
            ImGui::DestroyContext();
            return false;
        }
        panel.windowBackend = true;
    }
    ImGui_ImplOpenGL2_Init();
    panel.started = true;
    return true;
}

// Offscreen there are no window events: the frame's scripted state is what
// Dear ImGui sees, on the virtual clock, so runs repeat exactly.
void feedOffscreenInput(const GuiInputState& input, double frameSeconds) {
    ImGuiIO& io = ImGui::GetIO();
    io.DisplaySize = ImVec2(static_cast<float>(input.widgetWidth), static_cast<float>(input.widgetHeight));
    io.DisplayFramebufferScale = ImVec2(1.0f, 1.0f);
    io.DeltaTime = static_cast<float>(frameSeconds);
    io.MousePos = ImVec2(static_cast<float>(input.mouseX), static_cast<float>(input.mouseY));
    io.MouseDown[ImGuiMouseButton_Left] = held(input, MouseButton::Left);
    io.MouseDown[ImGuiMouseButton_Right] = held(input, MouseButton::Right);
    io.MouseWheel = static_cast<float>(input.wheelDelta) / kWheelUnitsPerNotch;
    io.KeyCtrl = keyHeld(input, Key::Ctrl);
    io.KeyShift = keyHeld(input, Key::Shift);
}
}  // namespace

bool startPanelFrame(const GuiInputState& input, bool offscreen, double frameSeconds, bool& wantsMouse,
                     bool& wantsKeyboard) {
    if (!panel.started && !startPanelContext(offscreen)) return false;
    // A frame that ended before its panel was drawn (the run stopped) is
    // closed first.
    if (panel.frameOpen) ImGui::EndFrame();
    if (panel.windowBackend) {
        windowPanelNewFrame();
    } else {
        feedOffscreenInput(input, frameSeconds);
    }
    ImGui_ImplOpenGL2_NewFrame();
    ImGui::NewFrame();
    panel.frameOpen = true;
    const ImGuiIO& io = ImGui::GetIO();
    wantsMouse = io.WantCaptureMouse;
    wantsKeyboard = io.WantCaptureKeyboard;
    panel.keyboard = wantsKeyboard;
    return true;
}

void drawPanelFrame() {
    if (!panel.frameOpen) return;
    ImGui::Render();
    panel.frameOpen = false;
    ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
}

bool panelTakesKeyboard() { return panel.started && panel.keyboard; }

void stopPanel() {
    if (!panel.started) return;
    if (panel.frameOpen) ImGui::EndFrame();
    ImGui_ImplOpenGL2_Shutdown();
    if (panel.windowBackend) stopWindowPanel();
    ImGui::DestroyContext();
    panel = PanelSession{};
}
