#pragma once

#include <cstdint>

#include "envsys/HostServices.h"

namespace envsys {

class IniFile;
struct CelestialFrame;

class SkyDome {
public:
    void Load(IniFile& file);
    void BuildHorizonBand(int32_t weatherLevel);
    void UpdateColors();
    void DrawUpper();
    void DrawLower();
    void Release();
};

} // namespace envsys
