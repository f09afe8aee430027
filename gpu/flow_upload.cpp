#include "gpu/flow_upload.h"

#include <utility>

void uploadFlowField(const FlowGrid& field, Texture& flowTexture) {
    Texture fresh;
    fresh.upload(GL_RG32F, field.width, field.height, GL_RG, GL_FLOAT, field.data());
    flowTexture = std::move(fresh);
    flowTexture.setParameter(GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    flowTexture.setParameter(GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}
