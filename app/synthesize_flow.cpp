#include "app/synthesize_flow.h"

#include <cstdio>

#include "app/layer_proxy.h"
#include "flow/freeze.h"
#include "flow/guides.h"
#include "flow/synthesis.h"
#include "gpu/flow_upload.h"

void synthesizeFlow(AppState& state, double t) {
    if (!state.flowDirty) return;
    std::printf("flow dirty %f\n", t);
    // Edits are rare and someone may be watching the console (or a pipe).
    std::fflush(stdout);
    synthesizeFlowQuietly(state);
}

void synthesizeFlowQuietly(AppState& state) {
    if (!state.flowDirty) return;
    computeFlowField(guideSegments, state.flowScale, state.flowGrid);
    if (state.freezeWhereMasked) freezeFlow(state.mask, state.flowGrid);
    state.flowDirty = false;
    uploadFlowForLayers(state);
}

void uploadFlowForLayers(AppState& state) {
    if (state.layerScale <= 1.0f) {
        uploadFlowField(state.flowGrid, state.targets.flow);
        return;
    }
    const LayerSize size = layerSizeFor(state.picture.width, state.picture.height, state.layerScale);
    uploadFlowField(flowForLayers(state.flowGrid, size), state.targets.flow);
}
