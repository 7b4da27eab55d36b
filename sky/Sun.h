// The sun: its light for the host's lighting, the day disc, the animated
// twilight disc, two flare sprites at the sun and the chain of lens flares,
// all drawn as screen-space quads.
#pragma once

#include <cstdint>

#include "clouds/BlockArray.h"
#include "envsys/HostServices.h"

namespace envsys {

class IniFile;
struct CelestialFrame;
struct LightState;

enum LensFlareFade : int32_t { kFadeNone = 0, kFadeNormal = 1, kFadeReverse = 2 };

struct LensFlare {
    float position; // 2 x PositionFactor, in units of the half sun-to-centre vector
    float size;
    int32_t fade; // LensFlareFade
    float color[4];
    MaterialRecord material;
};

class Sun {
public:
    // Fills the texture coordinates and the constant second coordinate of the
    // shared quad block; the set-up calls it once.
    void ResetQuadBlock();

    void Load(IniFile& file);
    // n records copied from the template, stage 0 named by the pattern with
    // the frame number from 1, each handed to PrepareMaterial.
    void BuildTwilightFrames(const MaterialRecord& templateRecord, int32_t n, const char* nameFormat);
    void LoadLensFlares(IniFile& file);
    void SetDirection(const CelestialFrame& frame);
    float* GetSunDirection(float* out3) const;
    HostLight* GetSunLight() const;
    void UpdateLight();
    void Draw(float visibility);
    void DrawLensFlares(float visibility);
    void Release();

    // The quad block every sun quad is drawn from.
    static Vertex quadBlock[4];

    int32_t visible = 0;
    float direction[3] = {0.0f, 0.0f, 0.0f};
    MaterialRecord daySunMaterial{};
    MaterialRecord twilightSunFlareMaterial{};
    MaterialRecord sunFlareMaterial{};
    HostLight* light = nullptr;
    float daySunSize = 0.0f;
    float twilightSunSize = 0.0f;
    float sunAngle = 0.0f;
    float sunAngleScale = 0.0f;
    float sunFlareSize = 0.0f;
    float twilightSunFlareSize = 0.0f;
    float overcastAmbientModifier = 0.0f;
    float overcastDirectModifier = 0.0f;
    BlockArray<MaterialRecord> twilightFrames;
    BlockArray<LensFlare> lensFlares;

    // Per-frame draw state shared by Draw and DrawLensFlares.
    float sunScreenPos[2] = {0.0f, 0.0f};
    float twilightFactor = 0.0f;
    float flareOffset[2] = {0.0f, 0.0f};
    float flareIntensity = 0.0f;
    float flareDirection[2] = {0.0f, 0.0f};

private:
    // The tail of Draw, for a sun that Draw found visible with every service
    // and the light state present.
    void DrawSunFlares(GraphicsService* gfx, HostView* view, const LightState& current, float visibility);
};

} // namespace envsys
