#pragma once

#include <cstdint>

#include "envsys/HostServices.h"

namespace envsys {

class IniFile;
struct CelestialFrame;

class Sun {
public:
    void Load(IniFile& file);
    void ResetQuadBlock();
    void SetDirection(const CelestialFrame& frame);
    float* GetSunDirection(float* out3) const;
    HostLight* GetSunLight() const;
    void UpdateLight();
    void Draw(float visibility);
    void DrawLensFlares(float visibility);
    void Release();

    float direction[3] = {0.0f, 0.0f, 0.0f};
};

} // namespace envsys
