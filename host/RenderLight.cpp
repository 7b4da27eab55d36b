#include "host/RenderLight.h"

#include "host/SoftwareRenderer.h"

namespace envhost {

using namespace envsys;

LightRecord* RenderLight::GetLightData(LightRecord** out) {
    if (out != nullptr) *out = &record;
    return &record;
}

void RenderLight::Commit() { owner_.CommitLight(*this); }

} // namespace envhost
