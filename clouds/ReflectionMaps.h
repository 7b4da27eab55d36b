#pragma once

#include <cstdint>

#include "envsys/HostServices.h"

namespace envsys {

class IniFile;
struct CelestialFrame;

class ReflectionMaps {
public:
    void Load(IniFile& file);
    void Update();
    void Release();
};

} // namespace envsys
