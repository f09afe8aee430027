#include "gpu/flow_upload.h"

void uploadFlowField(const FlowGrid& field, Texture& flowTexture) {
    replaceTexture(flowTexture, GL_RG32F, field.width, field.height, GL_RG, GL_FLOAT, field.data(),
                   {{GL_TEXTURE_MIN_FILTER, GL_LINEAR}, {GL_TEXTURE_MAG_FILTER, GL_LINEAR}});
}
