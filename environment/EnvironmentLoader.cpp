// Loading of the Environment File into the EnvironmentSystem.
#include <cfloat>
#include <cmath>

#include "config/IniFile.h"
#include "config/StringUtils.h"
#include "environment/CelestialFrame.h"
#include "plugin/EnvironmentSystem.h"
#include "plugin/Log.h"
#include "plugin/PluginState.h"

namespace envsys {

namespace {

// A number the file spells as NaN or infinity (strtod accepts both) reads as
// the key's default: the model's arithmetic assumes finite settings.
float ReadFloat(IniFile& file, const char* section, const char* key, float defaultValue) {
    const float v = file.GetFloat(section, key, defaultValue);
    return std::isfinite(v) ? v : defaultValue;
}

// A colour keeps its previous value when the key is missing or malformed;
// the reader clamps every part to 0..1, a NaN part to 0.
void ReadColor(IniFile& file, const char* section, const char* key, float* color) {
    GetColor(color, &file, section, key);
}

void ReadLightState(IniFile& file, const char* section, LightState& state) {
    state.sunHeight = ReadFloat(file, section, "SunHeight", 0.0f);
    state.sunBrightness = ReadFloat(file, section, "SunBrightness", 0.0f);
    state.sunLightLevel = ReadFloat(file, section, "SunLightLevel", 0.0f);
    ReadColor(file, section, "SunColor", state.sunColor);
    ReadColor(file, section, "AmbientColor", state.ambientColor);
    ReadColor(file, section, "SkyColor", state.skyColor);
    ReadColor(file, section, "HorizonColor", state.horizonColor);
    ReadColor(file, section, "FogColor", state.fogColor);
}

// The product of two finite settings may still overflow (it is never NaN);
// the host gets the largest float of that sign instead of an infinity.
float FiniteProduct(float a, float b) {
    const float p = a * b;
    if (std::isfinite(p)) return p;
    return p > 0.0f ? FLT_MAX : -FLT_MAX;
}

} // namespace

int32_t EnvironmentSystem::LoadEnvironment(const char* fileName) {
    const char* name = fileName != nullptr ? fileName : "";
    LogMessage("Loading Environment File %s...", name);
    if (FileExists(name, 0) == 0) {
        LogMessage("...Environment File %s not found!", name);
        return 0;
    }
    IniFile file(name, 0, 0);
    LoadDocument(file);
    return 0;
}

void EnvironmentSystem::LoadDocument(IniFile& file) {
    Mark();

    const char* kSystem = "EnvironmentSystem";
    updateInterval = ReadFloat(file, kSystem, "UpdateRate", 60.0f);
    SetInclinationRotation(celestialFrame, ReadFloat(file, kSystem, "InclinationAngle", 23.5f));
    SetLatitudeRotation(celestialFrame, ReadFloat(file, kSystem, "Latitude", 34.0f));

    ReadLightState(file, "Day", day);
    ReadLightState(file, "Twilight1", twilight1);
    ReadLightState(file, "Twilight2", twilight2);
    ReadLightState(file, "Night", night);

    WeatherSettings& w = weather;
    w.startClear = ReadFloat(file, "Fog", "StartClear", 0.0f);
    w.endClear = ReadFloat(file, "Fog", "EndClear", 0.0f);
    w.startOvercast = ReadFloat(file, "Fog", "StartOvercast", 0.0f);
    w.endOvercast = ReadFloat(file, "Fog", "EndOvercast", 0.0f);
    ReadColor(file, "Fog", "OvercastColor", w.overcastColor);
    w.startInclement = ReadFloat(file, "Fog", "StartInclement", 0.0f);
    w.endInclement = ReadFloat(file, "Fog", "EndInclement", 0.0f);
    ReadColor(file, "Fog", "InclementColor", w.inclementColor);
    w.startCloud = ReadFloat(file, "Fog", "StartCloud", 0.0f);
    w.endCloud = ReadFloat(file, "Fog", "EndCloud", 0.0f);
    ReadColor(file, "Fog", "CloudColor", w.cloudColor);
    ReadColor(file, "Fog", "HazeFogColor", w.hazeFogColor);
    w.overcastLight = ReadFloat(file, "Weather", "OvercastLight", 0.0f);
    w.inclementLight = ReadFloat(file, "Weather", "InclementLight", 0.0f);
    ReadColor(file, "Weather", "OvercastHorizonColor", w.overcastHorizonColor);
    ReadColor(file, "Weather", "InclementHorizonColor", w.inclementHorizonColor);

    sun.Load(file);
    skyDome.Load(file);
    LogMessage("...loading wind...");
    wind.Load(file);
    reflectionMaps.Load(file);

    LogMessage("...loading atmosphere...");
    atmosphere.Build();
    gravityAcceleration = ReadFloat(file, "Gravity", "Acceleration", 0.0f);
    float force[3] = {0.0f, 0.0f, 0.0f};
    GetVector(force, &file, "Gravity", "ForceVector");
    for (int i = 0; i < 3; ++i)
        gravityVector[i] = FiniteProduct(std::isfinite(force[i]) ? force[i] : 0.0f, gravityAcceleration);

    starField.Load(file);
    cloudSet.Load(file);
    cloudLayer.Load(file);

    char effect[kNameBufferSize];
    file.GetString("Weather", "InclementEffect", "", effect, kNameBufferSize, kCaseAsStored);
    ParticleService* pts = Pts();
    particleSystem = pts != nullptr ? pts->CreateParticleSystem(effect) : -1;

    GraphicsService* gfx = Gfx();
    if (gfx != nullptr) {
        gfx->LoadingFinished(1);
        gfx->LoadingFinishedLate(1);
    }
}

} // namespace envsys
