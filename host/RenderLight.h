// A light the plug-in sets; committing it makes it the renderer's sun light.
#pragma once

#include "envsys/HostServices.h"

namespace envhost {

class SoftwareRenderer;

class RenderLight final : public envsys::HostLight {
public:
    explicit RenderLight(SoftwareRenderer& owner) : owner_(owner) {}
    envsys::LightRecord* GetLightData(envsys::LightRecord** out) override;
    void Commit() override;
    envsys::LightRecord record{};

private:
    SoftwareRenderer& owner_;
};

} // namespace envhost
