// Process-wide frame context. There is one EnvironmentSystem, so its
// components read the view, the viewer and the light from here instead of
// receiving them as arguments.
#pragma once

#include <cstdint>

#include "envsys/HostServices.h"

namespace envsys {

class EnvironmentSystem;
struct CelestialFrame;
struct LightState;

struct FrameContext {
    // Published by the set-up, cleared by the tear-down.
    EnvironmentSystem* system;
    CelestialFrame* celestialFrame;
    LightState* light;

    // Written by every Update (the view also by DrawSky).
    HostView* currentView;
    double viewerPosition[3]; // the third component is the altitude
    float viewOrientation[9]; // row 2 is the forward direction
    float viewerMotion[3];

    // Written by every lighting recompute.
    float sunVector[3]; // the third component is the sun height
    int32_t sunGlowEnabled;
    float sunGlowColor[3];
    float horizonGlowColor[3];
    float cloudFadeFactor;
};

extern FrameContext g_frame;

} // namespace envsys
