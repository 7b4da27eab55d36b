// Model checks: settings that read cleanly but that the model cannot use,
// mostly numbers it divides by or sizes it allocates.
#include "tools/envcheck/EnvChecker.h"

#include "tools/envcheck/CheckText.h"

namespace envcheck {

void EnvChecker::CheckModel() {
    const auto addFor = [this](const std::string& section, const std::string& key, Severity severity,
                               const std::string& message) {
        Add(WhereOf(section, key), severity, message + KeyTag(section, key));
    };
    // The light states blend between neighbours by the sun's height: each
    // blend divides by the difference of two SunHeight values.
    const char* states[] = {"Day", "Twilight1", "Twilight2", "Night"};
    bool any = false;
    for (const char* s : states)
        any = any || scanner_.FindSection(s) != nullptr;
    if (any) {
        for (int i = 1; i < 4; ++i) {
            const float upper = FloatOf(states[i - 1], "SunHeight", 0.0f);
            const float lower = FloatOf(states[i], "SunHeight", 0.0f);
            if (lower < upper) continue;
            addFor(states[i], "SunHeight", Severity::Error,
                   std::string(states[i]) + ".SunHeight (" + Number(lower) + ") is not below " + states[i - 1] +
                       ".SunHeight (" + Number(upper) +
                       "): SunHeight must fall from Day through Twilight1 and Twilight2 to Night; the light blend "
                       "divides by their difference");
        }
        for (const char* s : states) {
            const float h = FloatOf(s, "SunHeight", 0.0f);
            if (h < -1.0f || h > 1.0f)
                addFor(s, "SunHeight", Severity::Warning,
                       std::string(s) + ".SunHeight " + Number(h) +
                           " is outside -1..1: it is the sine of the sun's elevation, which never gets there");
        }
    }
    if (scanner_.FindSection("EnvironmentSystem") != nullptr &&
        FloatOf("EnvironmentSystem", "UpdateRate", 60.0f) <= 0.0f)
        addFor("EnvironmentSystem", "UpdateRate", Severity::Warning,
               "EnvironmentSystem.UpdateRate is not above 0: the lighting is recomputed on every frame");
    // The star field's loader replaces a rate that is not above 0 with its
    // default, and with MinHeight 0 it gives the stars below the horizon
    // size 0 instead of a fade (nothing divides by it): only the first
    // needs a word.
    if (scanner_.FindSection("Stars") != nullptr && !(FloatOf("Stars", "UpdateRate", 60.0f) > 0.0f))
        addFor("Stars", "UpdateRate", Severity::Warning,
               "Stars.UpdateRate is not above 0: the system uses 60 seconds instead");
    if (scanner_.FindSection("Sun") != nullptr && FloatOf("Sun", "SunAngle", 0.0f) == 1.0f)
        addFor("Sun", "SunAngle", Severity::Error,
               "Sun.SunAngle is 1: the glare scale 1 / (1 - SunAngle) divides by zero");
    if (scanner_.FindSection("Sun") != nullptr && IntOf("Sun", "TwilightSunAnimation", 0) < 0)
        addFor("Sun", "TwilightSunAnimation", Severity::Error,
               "Sun.TwilightSunAnimation is negative: the twilight frames cannot be allocated");
    if (scanner_.FindSection("Sky") != nullptr) {
        const long n = IntOf("Sky", "SkyPanelCount", 8);
        if (n < 1 || 3 * (n + 1) > 65535)
            addFor("Sky", "SkyPanelCount", Severity::Error,
                   "Sky.SkyPanelCount " + std::to_string(n) +
                       " is outside 1..21843: the dome needs at least one column and its indices are 16-bit");
    }
    if (scanner_.FindSection("CloudLayer") != nullptr) {
        const long n = IntOf("CloudLayer", "TileCount", 0);
        if (n < 0 || 4 * n * n > 65536)
            addFor("CloudLayer", "TileCount", Severity::Error,
                   "CloudLayer.TileCount " + std::to_string(n) +
                       " is outside 0..128: the layer's 4 x TileCount^2 vertices need 16-bit indices");
        else if (n == 1)
            addFor("CloudLayer", "TileCount", Severity::Warning,
                   "CloudLayer.TileCount 1 gives a fade radius of 0: the single tile is invisible");
        const float size = FloatOf("CloudLayer", "TileSize", 1.0f);
        if (size == 0.0f)
            addFor("CloudLayer", "TileSize", Severity::Error,
                   "CloudLayer.TileSize is 0: the layer divides the viewer's position by it");
    }
    if (scanner_.FindSection("Clouds") != nullptr) {
        for (const char* key : {"MaxClouds", "MaxCloudParticles"})
            if (IntOf("Clouds", key, 0) < 0)
                addFor("Clouds", key, Severity::Error,
                       std::string("Clouds.") + key + " is negative: the cloud storage cannot be allocated");
    }
    if (scanner_.FindSection("Reflection") != nullptr) {
        for (const char* key : {"NumSunLightLevel", "NumWeatherLevel", "NumReflectionLevel"})
            if (IntOf("Reflection", key, 0) < 0)
                addFor("Reflection", key, Severity::Warning,
                       std::string("Reflection.") + key + " is negative: no reflection maps are loaded");
    }
}

} // namespace envcheck
