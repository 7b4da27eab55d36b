#pragma once

#include <cstdint>

#include "envsys/HostServices.h"

namespace envsys {

class IniFile;
struct CelestialFrame;

class CloudSet {
public:
    void Load(IniFile& file);
    void Release();
};

} // namespace envsys
