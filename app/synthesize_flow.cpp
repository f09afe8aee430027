#include "app/synthesize_flow.h"

#include <cstdio>

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
    uploadFlowField(state.flowGrid, state.targets.flow);
}
