#pragma once

#include <cstdint>

#include "envsys/HostServices.h"

namespace envhost {

class SoftwareRenderer;

// The view through the camera. Screen positions are pixels of the
// viewport, y down; screen sizes are pixels; pixels are square, so the
// aspect is 1. The camera does not roll, so the view matrix is the identity.
class RenderView final : public envsys::HostView {
public:
    explicit RenderView(SoftwareRenderer& owner) : owner_(owner) {}
    envsys::ViewInfo* GetViewInfo(envsys::ViewInfo** out) override;
    void GetViewMatrix(float* m9) override;
    void ScreenExtent(float size, float* halfX, float* halfY) override;
    float ScreenScale(float size) override;
    float ScreenAspect() override;
    const int32_t* GetPanelFlags() override;
    // out[0] screen x, out[2] screen y, out[1] the distance ahead (not
    // positive: behind the viewer).
    void ProjectDirection(float* out3, const float* direction3) override;
    int32_t IsSunVisible(const float* projected3, int32_t size) override;
    int32_t IsPointVisible(const float* projected3) override;
    // The mesh's bounding sphere (from its placement record) against the view.
    int32_t IsMeshVisible(const void* placement, const float* origin3) override;

    // One flag per 45-degree azimuth panel, from panel 0 at north: set when
    // any part of the panel's azimuth range is in view.
    void ComputePanelFlags();
    envsys::ViewInfo info{};
    int32_t panelFlags[8] = {1, 1, 1, 1, 1, 1, 1, 1};

private:
    SoftwareRenderer& owner_;
};

} // namespace envhost
