// One light state: the four named states of the Environment File and the
// current state that the lighting recompute blends from them.
#pragma once

namespace envsys {

struct LightState {
    float sunHeight; // sine of the sun's elevation where the state applies in full
    float sunBrightness;
    float sunLightLevel;
    float sunColor[3];
    float ambientColor[3];
    float skyColor[3];
    float horizonColor[3];
    float fogColor[3];
    float horizonCloudColor[3]; // only meaningful in the current state
};
static_assert(sizeof(LightState) == 21 * sizeof(float), "LightState is 21 floats");

} // namespace envsys
