#include "app/motion.h"

#include "app/layer_plan.h"

namespace {

// The setting's value in the state, as the history keeps it.
float settingValue(const AppState& state, Setting setting) {
    switch (setting) {
    case Setting::Freeze: return state.freezeWhereMasked ? 1.0f : 0.0f;
    case Setting::BrushRadius: return state.brushRadius;
    case Setting::FlowScale: return state.flowScale;
    case Setting::PhaseSpacing: return state.phaseSpacing;
    }
    return 0.0f;
}

// Changes a setting as one step of the history, unless it stays as it was.
void changeSetting(AppState& state, Setting setting, float value) {
    const float before = settingValue(state, setting);
    if (value == before) return;
    applySetting(state, SettingValue{setting, value});
    recordEdit(state.history, SettingEdit{setting, before, value});
}

}  // namespace

void applySetting(AppState& state, const SettingValue& setting) {
    switch (setting.setting) {
    case Setting::Freeze:
        state.freezeWhereMasked = setting.value != 0.0f;
        state.flowDirty = true;
        break;
    case Setting::BrushRadius:
        state.brushRadius = setting.value;
        break;
    case Setting::FlowScale:
        state.flowScale = setting.value;
        state.flowDirty = true;
        break;
    case Setting::PhaseSpacing:
        rephaseLayers(state.frameClockTime, state.phaseSpacing, setting.value, state.layerPhase);
        state.phaseSpacing = setting.value;
        break;
    }
}

void toggleFreeze(AppState& state) {
    changeSetting(state, Setting::Freeze, state.freezeWhereMasked ? 0.0f : 1.0f);
}

void stepBrushRadius(AppState& state, RadiusStep step) {
    changeSetting(state, Setting::BrushRadius, steppedBrushRadius(state.brushRadius, step));
}

void stepSpeed(AppState& state, MotionStep step) {
    changeSetting(state, Setting::FlowScale, steppedFlowScale(state.flowScale, step));
}

void stepLoopLength(AppState& state, MotionStep step) {
    changeSetting(state, Setting::PhaseSpacing, steppedPhaseSpacing(state.phaseSpacing, step));
}
