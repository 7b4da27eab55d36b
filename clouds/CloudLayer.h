#pragma once

#include <cstdint>

#include "envsys/HostServices.h"

namespace envsys {

class IniFile;
struct CelestialFrame;

class CloudLayer {
public:
    void Load(IniFile& file);
    void Build(int32_t weatherLevel, float altitude);
    bool IsBuilt() const { return false; }
    void Draw();
    void Release();
};

} // namespace envsys
