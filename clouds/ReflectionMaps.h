// Reflection textures by light level: a grid with one row per sun-light
// level and one column per reflection level. Every update hands the graphics
// service the row that matches the current sun light, so that reflective
// materials show a sky of the right brightness.
#pragma once

#include <cstdint>

namespace envsys {

class IniFile;

class ReflectionMaps {
public:
    int32_t currentLevel = -1; // row last handed to the graphics service
    int32_t numSunLightLevel = 0;
    int32_t numWeatherLevel = 0; // stored, not used
    int32_t numReflectionLevel = 0;
    int32_t* textures = nullptr; // numSunLightLevel x numReflectionLevel handles, row by row

    void Load(IniFile& file);
    void Update();
    void Release();
};

} // namespace envsys
