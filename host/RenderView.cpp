#include "host/RenderView.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/SoftwareRenderer.h"

namespace envhost {

using namespace envsys;

namespace {

constexpr float kDegrees = 0.017453292519943295f;

float WrapDegrees(float a) {
    a = std::fmod(a, 360.0f);
    if (a > 180) a -= 360;
    if (a <= -180) a += 360;
    return a;
}

} // namespace

ViewInfo* RenderView::GetViewInfo(ViewInfo** out) {
    if (out != nullptr) *out = &info;
    return &info;
}

void RenderView::GetViewMatrix(float* m9) {
    if (m9 == nullptr) return;
    const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    std::memcpy(m9, identity, sizeof identity);
}

void RenderView::ScreenExtent(float size, float* halfX, float* halfY) {
    if (halfX != nullptr) *halfX = size;
    if (halfY != nullptr) *halfY = size;
}

float RenderView::ScreenScale(float size) { return size; }

float RenderView::ScreenAspect() { return 1.0f; }

const int32_t* RenderView::GetPanelFlags() { return panelFlags; }

void RenderView::ProjectDirection(float* out3, const float* d) {
    if (out3 == nullptr) return;
    out3[0] = out3[1] = out3[2] = -1e6f;
    if (d == nullptr) return;
    const Camera& camera = owner_.camera();
    const Vec3 c = camera.ToCamera({d[0], d[1], d[2]});
    out3[1] = c.z;
    if (c.z <= 1e-6f) return;
    camera.ToScreen(c, &out3[0], &out3[2]);
}

int32_t RenderView::IsSunVisible(const float* p, int32_t size) {
    if (p == nullptr || !(p[1] > 1e-6f)) return 0;
    const float s = static_cast<float>(size < 0 ? 0 : size);
    return (p[0] + s >= info.left && p[0] - s <= info.right && p[2] + s >= info.top && p[2] - s <= info.bottom) ? 1 : 0;
}

int32_t RenderView::IsPointVisible(const float* p) {
    if (p == nullptr || !(p[1] > 1e-6f)) return 0;
    return (p[0] >= info.left && p[0] < info.right && p[2] >= info.top && p[2] < info.bottom) ? 1 : 0;
}

int32_t RenderView::IsMeshVisible(const void* placement, const float* origin3) {
    if (placement == nullptr) return 1;
    float sphere[4];
    std::memcpy(sphere, placement, sizeof sphere);
    if (!(sphere[3] > 0)) return 1;
    const float o[3] = {origin3 != nullptr ? origin3[0] : 0, origin3 != nullptr ? origin3[1] : 0,
                        origin3 != nullptr ? origin3[2] : 0};
    const Camera& camera = owner_.camera();
    const Vec3 c = camera.ToCamera({sphere[0] + o[0], sphere[1] + o[1], sphere[2] + o[2]});
    const float r = sphere[3];
    if (c.z < -r) return 0;
    const float f = camera.FocalLength();
    const float tx = 0.5f * camera.width / f, ty = 0.5f * camera.height / f;
    const float nx = std::sqrt(1 + tx * tx), ny = std::sqrt(1 + ty * ty);
    if ((c.x - tx * c.z) / nx > r || (-c.x - tx * c.z) / nx > r) return 0;
    if ((c.y - ty * c.z) / ny > r || (-c.y - ty * c.z) / ny > r) return 0;
    return 1;
}

void RenderView::ComputePanelFlags() {
    const Camera& camera = owner_.camera();
    info.left = 0;
    info.top = 0;
    info.right = camera.width;
    info.bottom = camera.height;
    // With the zenith or the nadir in view every azimuth is on screen.
    for (float z : {1.0f, -1.0f}) {
        float p[3];
        const float d[3] = {0, 0, z};
        ProjectDirection(p, d);
        if (p[1] > 0 && p[0] >= 0 && p[0] <= camera.width && p[2] >= 0 && p[2] <= camera.height) {
            for (int32_t& flag : panelFlags)
                flag = 1;
            return;
        }
    }
    // Otherwise the screen's border bounds the azimuths in view.
    float lo = 180, hi = -180;
    const int steps = 16;
    for (int side = 0; side < 4; ++side) {
        for (int i = 0; i <= steps; ++i) {
            const float t = static_cast<float>(i) / steps;
            float sx = 0, sy = 0;
            switch (side) {
            case 0:
                sx = t * camera.width, sy = 0;
                break;
            case 1:
                sx = t * camera.width, sy = static_cast<float>(camera.height);
                break;
            case 2:
                sx = 0, sy = t * camera.height;
                break;
            default:
                sx = static_cast<float>(camera.width), sy = t * camera.height;
                break;
            }
            const Vec3 ray = camera.RayThrough(sx, sy);
            if (std::fabs(ray.x) + std::fabs(ray.y) < 1e-6f) continue;
            const float relative = WrapDegrees(std::atan2(ray.x, ray.y) / kDegrees - camera.headingDegrees);
            lo = std::min(lo, relative);
            hi = std::max(hi, relative);
        }
    }
    const float margin = 1.0f;
    lo -= margin;
    hi += margin;
    for (int p = 0; p < 8; ++p) {
        const float start = WrapDegrees(p * 45.0f - camera.headingDegrees);
        bool seen = false;
        for (float shift : {-360.0f, 0.0f, 360.0f}) {
            const float a = start + shift, b = a + 45.0f;
            if (b >= lo && a <= hi) seen = true;
        }
        panelFlags[p] = seen ? 1 : 0;
    }
}

} // namespace envhost
