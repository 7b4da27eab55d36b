#pragma once

#include <cstdint>

#include "envsys/HostServices.h"

namespace envsys {

class IniFile;
struct CelestialFrame;

class StarField {
public:
    void Load(IniFile& file);
    void UpdateAll();
    void Update(float dt);
    void Draw();
    void Release();
};

} // namespace envsys
