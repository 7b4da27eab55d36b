// The object the plug-in registers with its host under "ENV": 35 operations,
// in slot order. The host drives it once per frame in the order Update,
// PrepareFrame, DrawSky, DrawLensFlare.
#pragma once

#include <cstdint>

#include "envsys/HostServices.h"
#include "envsys/Records.h"

// The slot numbers and byte offsets are aligned by hand as tables; the
// layout tool leaves them so.
// clang-format off
namespace envsys {

class EnvironmentSystemInterface {
public:
    virtual int32_t LoadEnvironment(const char* fileName) = 0;          // 0
    virtual void Unload() = 0;                                          // 1
    virtual void SetVisibility(float scale) = 0;                        // 2
    virtual void SetLocation(int32_t unused, float latitude) = 0;       // 3
    virtual void SetWeather(const WeatherParams* params) = 0;           // 4
    virtual void Update(float elapsedSeconds) = 0;                      // 5
    virtual void PrepareFrame() = 0;                                    // 6
    virtual void DrawSky() = 0;                                         // 7
    virtual void DrawLensFlare() = 0;                                   // 8
    virtual void SetTime(const TimeOfDay* time) = 0;                    // 9
    virtual void SetDate(const CalendarDate* date) = 0;                 // 10
    virtual TimeOfDay* GetTime(TimeOfDay* out) = 0;                     // 11
    virtual CalendarDate* GetDate(CalendarDate* out) = 0;               // 12
    virtual int32_t AddTime(int32_t seconds) = 0;                       // 13
    virtual void AddDays(int32_t days) = 0;                             // 14
    virtual void SetLatitude(float degrees) = 0;                        // 15
    virtual void SetInclination(float degrees) = 0;                     // 16
    virtual float GetSunLightLevel() = 0;                               // 17
    virtual float* GetSunDirection(float* out3) = 0;                    // 18
    virtual HostLight* GetSunLight() = 0;                               // 19
    virtual void SetWind(float directionRadians, float speed, float gustScale) = 0; // 20
    virtual float GetWindDirection() = 0;                               // 21
    virtual float* GetWindVector(float* out3, int32_t ignored) = 0;     // 22
    virtual float GetAirDensity(float altitude) = 0;                    // 23
    virtual float GetAirTemperature(float altitude) = 0;                // 24
    virtual float GetSpeedOfSound(float altitude) = 0;                  // 25
    virtual float GetInverseSpeedOfSound(float altitude) = 0;           // 26
    virtual float GetDensityRatioRoot(float altitude) = 0;              // 27
    virtual int32_t IsAboveOvercast(float altitude) = 0;                // 28
    virtual int32_t IsBelowOvercast(float altitude) = 0;                // 29
    virtual int32_t ReservedQuery(int32_t a, int32_t b) = 0;            // 30
    virtual void SetHostValue(float value) = 0;                         // 31
    virtual float GetHostValue() = 0;                                   // 32
    virtual float GetGravityAcceleration() = 0;                         // 33
    virtual float* GetGravityVector(float* out3) = 0;                   // 34

protected:
    ~EnvironmentSystemInterface() = default;
};

} // namespace envsys
// clang-format on
