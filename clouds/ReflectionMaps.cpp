#include "clouds/ReflectionMaps.h"

#include "config/IniFile.h"
#include "config/StringUtils.h"
#include "plugin/EnvironmentSystem.h"
#include "plugin/Log.h"
#include "plugin/Memory.h"
#include "plugin/PluginState.h"

namespace envsys {

namespace {
constexpr const char* kReflectionSection = "Reflection";
} // namespace

void ReflectionMaps::Load(IniFile& file) {
    LogMessage("...loading reflection...");
    currentLevel = -1;
    const int32_t rows = file.GetInt(kReflectionSection, "NumSunLightLevel", 0);
    numWeatherLevel = file.GetInt(kReflectionSection, "NumWeatherLevel", 0);
    const int32_t columns = file.GetInt(kReflectionSection, "NumReflectionLevel", 0);

    // An empty grid, a negative count (two of which would multiply to a
    // positive size) or one whose block of handles would not fit in 32 bits
    // loads nothing and keeps the previous grid together with the counts
    // that describe it, so that the row handed out never lies outside it.
    const int64_t n = static_cast<int64_t>(rows) * columns;
    if (rows < 1 || columns < 1 || n * static_cast<int64_t>(sizeof(int32_t)) > 0xFFFFFFFFll) return;

    // A reload that finds a grid gives its textures back first instead of
    // leaking them.
    Release();
    numSunLightLevel = rows;
    numReflectionLevel = columns;
    textures = static_cast<int32_t*>(MemAlloc(static_cast<uint32_t>(n * sizeof(int32_t))));
    if (textures == nullptr) {
        LogMessage("Unable to allocate block memory of size %d!", static_cast<int>(n));
        return;
    }

    char pattern[kNameBufferSize];
    file.GetString(kReflectionSection, "TextureNameFormat", "", pattern, sizeof pattern, 0);
    GraphicsService* gfx = Gfx();
    char name[kNameBufferSize];
    for (int32_t s = 0; s < rows; ++s) {
        for (int32_t r = 0; r < columns; ++r) {
            int32_t handle = -1;
            // A rejected pattern names no texture; the host is not asked.
            if (gfx != nullptr && FormatIntegerPattern(name, sizeof name, pattern, 2, s, r) && !StrIsEmpty(name))
                handle = gfx->LoadTexture(name, 1, 1);
            textures[static_cast<int64_t>(s) * columns + r] = handle;
        }
    }
}

void ReflectionMaps::Update() {
    GraphicsService* gfx = Gfx();
    if (textures == nullptr || gfx == nullptr) return;
    // The brighter the sun, the lower the row; a light level that is not a
    // number counts as full light.
    const float position = (1.0f - g_environmentSystem.current.sunLightLevel) * static_cast<float>(numSunLightLevel);
    int32_t level = 0;
    if (position >= static_cast<float>(numSunLightLevel)) {
        level = numSunLightLevel - 1;
    } else if (position > 0.0f) {
        level = static_cast<int32_t>(position);
    }
    if (level == currentLevel) return;
    currentLevel = level;
    gfx->SetReflectionMaps(level, numReflectionLevel, textures + static_cast<int64_t>(level) * numReflectionLevel);
}

void ReflectionMaps::Release() {
    if (textures == nullptr) return;
    GraphicsService* gfx = Gfx();
    const int64_t n = static_cast<int64_t>(numSunLightLevel) * numReflectionLevel;
    for (int64_t i = 0; gfx != nullptr && i < n; ++i)
        if (textures[i] != -1) gfx->ReleaseTexture(textures[i]);
    MemFree(textures);
    textures = nullptr;
}

} // namespace envsys
