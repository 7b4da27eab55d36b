// The host's own scene: a flat ground plane of fields and ponds under the
// viewer, lit and fogged by what the plug-in sets.
#pragma once

#include "host/Camera.h"
#include "host/Rasterizer.h"

namespace envhost {

// What the ground needs of the camera, the light and the air, taken when
// it is recorded.
struct GroundView {
    float eye;
    Vec3 right, up, forward;
    float focal, cx, cy;
    float light[3];
    float ox, oy, scale;
    float fogStart, fogEnd;
    float fog[3];
    float sky[3];
    const Texture* map; // the reflection map, if any
};

// The ground plane under every pixel of the rows [rowBegin, rowEnd) whose
// ray meets it before what the depth buffer holds.
void DrawGroundRows(const GroundView& g, FrameBuffer& frame, int rowBegin, int rowEnd);

} // namespace envhost
