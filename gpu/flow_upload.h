#pragma once
// The GL half of the flow synthesis: the field goes to the GPU here, the
// computation stays CPU code in flow/.

#include "flow/grid.h"
#include "gpu/texture.h"

// Uploads the field as RG32F into a fresh Texture, moves it into flowTexture
// (deleting the old name, so every upload gives a new name), then sets MIN
// and MAG filter to GL_LINEAR; wrap stays GL_CLAMP_TO_EDGE.
void uploadFlowField(const FlowGrid& field, Texture& flowTexture);
