// Weather, the per-frame update and the lighting recompute of the
// EnvironmentSystem.
#include <cfloat>
#include <cmath>
#include <cstring>

#include "environment/CelestialFrame.h"
#include "environment/Clock.h"
#include "plugin/EnvironmentSystem.h"
#include "plugin/FrameContext.h"
#include "plugin/PluginState.h"

namespace envsys {

namespace {

// Everything handed to the host or published to the components passes
// through here once per recompute: NaN becomes the fallback and an overflow
// the largest float of its sign, so odd inputs never reach GFX as NaN or inf.
float Finite(float v, float fallback) {
    if (std::isnan(v)) return fallback;
    if (std::isinf(v)) return v > 0.0f ? FLT_MAX : -FLT_MAX;
    return v;
}

void FiniteAll(float* v, int n) {
    for (int i = 0; i < n; ++i)
        v[i] = Finite(v[i], 0.0f);
}

void Copy3(float* dst, const float* src) {
    dst[0] = src[0];
    dst[1] = src[1];
    dst[2] = src[2];
}

void Set3(float* dst, float a, float b, float c) {
    dst[0] = a;
    dst[1] = b;
    dst[2] = c;
}

// dst = (1 - t) a + t b, component by component.
void Mix3(float* dst, const float* a, const float* b, float t) {
    for (int i = 0; i < 3; ++i)
        dst[i] = (1.0f - t) * a[i] + t * b[i];
}

// Entries 1 to 17 (SunBrightness to FogColor); the height and the horizon
// cloud colour are left to the caller.
void Lerp(LightState& out, const LightState& a, const LightState& b, float t) {
    const float* pa = &a.sunHeight;
    const float* pb = &b.sunHeight;
    float* po = &out.sunHeight;
    for (int i = 1; i <= 17; ++i)
        po[i] = (1.0f - t) * pa[i] + t * pb[i];
}

// The blend factor between two neighbouring states. For heights in falling
// order it lies in 0..1 already; a file whose heights are out of order gets
// the nearer state in full instead of colours extrapolated beyond both, and
// two equal heights (which only meet a sun exactly at that height) give the
// upper state rather than 0 / 0.
float BlendFactor(float h, float from, float to) {
    const float span = to - from;
    if (span == 0.0f) return 0.0f;
    const float t = (h - from) / span;
    if (!(t > 0.0f)) return 0.0f;
    return t < 1.0f ? t : 1.0f;
}

constexpr float kWholeSecondsLimit = 2147483520.0f; // the largest float below 2^31

} // namespace

void EnvironmentSystem::SetWeather(const WeatherParams* params) {
    if (params == nullptr) return;
    const int32_t level = params->level < 1 ? 0 : (params->level >= 4 ? 4 : params->level);
    weatherLevel = level;
    // A NaN or infinite value from the host keeps the earlier one, so the band
    // tests and fog formulas only ever see finite numbers.
    if (std::isfinite(params->layerAltitude)) overcastAltitude = params->layerAltitude;
    if (std::isfinite(params->transitionDepth)) transitionDepth = params->transitionDepth;
    if (std::isfinite(params->intensity)) weatherIntensity = params->intensity;
    if (level == 0 && weatherIntensity < 0.5f) {
        hazeSelector = -1;
        return;
    }
    hazeSelector = params->level;
    skyDome.BuildHorizonBand(level);
    if (level > 2) cloudLayer.Build(level, overcastAltitude);
}

void EnvironmentSystem::Update(float elapsedSeconds) {
    // A NaN or infinite frame time would stop the schedule for good (and
    // cannot be cut to whole seconds), so such a frame counts as no time,
    // for the clock and for the components alike.
    const float dt = std::isfinite(elapsedSeconds) ? elapsedSeconds : 0.0f;
    timeSinceRecompute += dt;

    GraphicsService* gfx = Gfx();
    ViewerService* vmg = Vmg();
    g_frame.currentView = gfx != nullptr ? gfx->GetView() : nullptr;
    // Without a viewer service the viewer stays where it was last seen.
    if (vmg != nullptr) {
        vmg->GetViewerPosition(g_frame.viewerPosition);
        vmg->GetViewOrientation(g_frame.viewOrientation);
        vmg->GetViewerMotion(g_frame.viewerMotion);
    }

    const double altitude = g_frame.viewerPosition[2];
    const double layer = overcastAltitude;
    if (std::fabs(altitude - layer) < static_cast<double>(transitionDepth)) {
        recomputeNeeded = 1;
        bandState = -1;
    } else {
        const int32_t side = layer < altitude ? 1 : 0;
        if (side != bandState) recomputeNeeded = 1;
        bandState = side;
    }

    const int32_t marked = recomputeNeeded;
    if (marked != 0 || timeSinceRecompute > updateInterval) {
        float whole = std::trunc(timeSinceRecompute);
        if (whole > kWholeSecondsLimit) whole = kWholeSecondsLimit;
        if (whole < -kWholeSecondsLimit) whole = -kWholeSecondsLimit;
        if (AddSecondsToTime(time, static_cast<int32_t>(whole)) != 0) AdvanceDate(date);
        ComputeSky(celestialFrame, DayOfYear(date), SecondsOfDay(time));
        RecomputeLighting();
        recomputeNeeded = 0;
        timeSinceRecompute = 0.0f;
    }

    if (current.sunLightLevel < 1.0f) {
        if (marked != 0)
            starField.UpdateAll();
        else
            starField.Update(dt);
    }
    wind.Update(dt);

    if (gfx != nullptr) {
        gfx->SetFogRange(fogStart, fogEnd);
        gfx->SetSkyColor(current.skyColor);
        gfx->SetFogColor(current.fogColor);
        if (current.sunLightLevel <= 0.0f) {
            gfx->SetSunLightEnabled(0);
        } else {
            gfx->SetSunLightEnabled(1);
            gfx->SetSunLightLevel(current.sunLightLevel);
        }
    }
    reflectionMaps.Update();

    ParticleService* pts = Pts();
    if (pts != nullptr && particleSystem != -1 && skyVisible == 0 && weatherLevel == 4) {
        EmitterRecord record;
        std::memset(&record, 0, sizeof record);
        record.one = 1.0f;
        const double* p = g_frame.viewerPosition;
        const float* m = g_frame.viewerMotion;
        const float* forward = g_frame.viewOrientation + 6;
        record.position[0] = p[0] + 0.6 * m[0];
        record.position[1] = p[1] + 0.6 * m[1];
        record.position[2] = p[2] + (0.6 * m[2] + 20.0);
        // A viewer the host reports at NaN or infinity gets no particles
        // rather than an emitter nowhere.
        if (std::isfinite(record.position[0] + record.position[1] + record.position[2]))
            pts->EmitParticles(&emitterHandles[0], particleSystem, &record, 0);
        record.position[0] = p[0] + 10.0 * forward[0];
        record.position[1] = p[1] + 10.0 * forward[1];
        record.position[2] = p[2] + 10.0 * forward[2];
        if (std::isfinite(record.position[0] + record.position[1] + record.position[2]))
            pts->EmitParticles(&emitterHandles[1], particleSystem, &record, 0);
    }
}

void EnvironmentSystem::RecomputeLighting() {
    sun.SetDirection(celestialFrame);
    GetSunDirection(g_frame.sunVector);
    const float h = g_frame.sunVector[2];
    const WeatherSettings& w = weather;

    fogStart = w.startClear;
    fogEnd = Finite(w.endClear * visibilityScale, 0.0f);
    sunVisibility = 1.0f;
    Copy3(workingSky, day.skyColor);
    Copy3(workingFog, day.fogColor);
    Copy3(workingHorizon, day.horizonColor);
    float band = 0.0f;
    float brightnessFactor = 1.0f;
    float lightFactor = 1.0f;
    float tint[3] = {1.0f, 1.0f, 1.0f};
    const bool haze = hazeSelector != -1;
    auto applyHaze = [&]() {
        if (!haze) return;
        Copy3(workingFog, w.hazeFogColor);
        Copy3(workingHorizon, w.hazeFogColor);
    };

    // The weather by the viewer's side of the overcast layer. A depth of 0 or
    // less means no transition band: the layer is crossed at once.
    const double altitude = g_frame.viewerPosition[2];
    const double layer = overcastAltitude;
    const double depth = transitionDepth;
    const int32_t level = weatherLevel;
    if (layer < altitude) {
        const double d = altitude - layer;
        if (d < depth) {
            if (cloudLayer.IsBuilt()) band = static_cast<float>(1.0 - d / depth);
            if (level == 3 || level == 4) {
                const float* color = level == 3 ? w.overcastColor : w.inclementColor;
                const float light = level == 3 ? w.overcastLight : w.inclementLight;
                Copy3(tint, color);
                brightnessFactor = 1.0f - band;
                lightFactor = 1.0f - (1.0f - light) * band;
                sunVisibility = 1.0f - band;
            } else {
                applyHaze();
                Copy3(tint, w.cloudColor);
            }
        } else if (level != 3 && level != 4) {
            applyHaze();
        }
    } else {
        if (level == 3) {
            lightFactor = w.overcastLight;
            fogStart = w.startOvercast * weatherIntensity;
            fogEnd = w.endOvercast;
            Copy3(workingSky, w.overcastColor);
            Copy3(workingFog, w.overcastColor);
            Copy3(workingHorizon, w.overcastHorizonColor);
            brightnessFactor = 0.0f;
            sunVisibility = 0.0f;
            Copy3(tint, w.overcastColor);
        } else if (level == 4) {
            const float e = (w.endInclement - w.startInclement) * weatherIntensity * 0.5f;
            lightFactor = w.inclementLight;
            fogStart = w.startInclement - e;
            fogEnd = w.endInclement - e;
            Copy3(workingSky, w.inclementColor);
            Copy3(workingFog, w.inclementColor);
            Copy3(workingHorizon, w.inclementHorizonColor);
            brightnessFactor = 0.0f;
            sunVisibility = 0.0f;
            Copy3(tint, w.inclementColor);
        } else {
            fogStart = (1.0f - weatherIntensity) * w.startClear;
            applyHaze();
            Copy3(tint, w.cloudColor);
        }
        if (cloudLayer.IsBuilt() && layer - altitude < depth)
            band = static_cast<float>(1.0 - (layer - altitude) / depth);
    }

    // The light state by the sun's height between the four states.
    const float hD = day.sunHeight, h1 = twilight1.sunHeight, h2 = twilight2.sunHeight, hN = night.sunHeight;
    if (h >= hD) {
        std::memcpy(&current.sunHeight, &day.sunHeight, 9 * sizeof(float));
        Copy3(current.skyColor, workingSky);
        Copy3(current.horizonColor, workingHorizon);
        Copy3(current.fogColor, workingFog);
        Set3(current.horizonCloudColor, 1.0f, 1.0f, 1.0f);
        g_frame.sunGlowEnabled = 0;
    } else if (h <= hN) {
        current = night;
        Copy3(current.horizonCloudColor, current.horizonColor);
        g_frame.sunGlowEnabled = 0;
    } else {
        g_frame.sunGlowEnabled = 1;
        float k;
        const float* glow;
        // Here h < hD already; for heights in falling order h2 <= h <= h1
        // follows from failing the first test below.
        if (h1 < h) {
            const float t = BlendFactor(h, h1, hD);
            Lerp(current, twilight1, day, t);
            Mix3(current.skyColor, twilight1.skyColor, workingSky, t);
            Mix3(current.horizonColor, twilight1.horizonColor, workingHorizon, t);
            Mix3(current.fogColor, twilight1.fogColor, workingFog, t);
            k = (1.0f - t) * current.sunLightLevel;
            glow = twilight1.sunColor;
        } else if (h2 <= h) {
            const float t = BlendFactor(h, h1, h2);
            Lerp(current, twilight1, twilight2, t);
            k = current.sunLightLevel;
            glow = current.sunColor;
        } else {
            // hN < h < h2 for heights in falling order; a file whose heights
            // are out of order can land here otherwise, and gets the same
            // blend with its factor held to 0..1.
            const float t = BlendFactor(h, h2, hN);
            Lerp(current, twilight2, night, t);
            k = (1.0f - t) * current.sunLightLevel;
            glow = twilight2.sunColor;
        }
        Mix3(g_frame.horizonGlowColor, current.horizonColor, glow, k);
        Mix3(g_frame.sunGlowColor, current.skyColor, glow, k);
        const float b = current.sunBrightness;
        for (int i = 0; i < 3; ++i)
            current.horizonCloudColor[i] = current.horizonColor[i] * (1.0f - b) + b;
    }

    // Inside the transition band the colours and the fog move towards the cloud.
    if (band > 0.0f) {
        if (level != 0) {
            float c[3];
            for (int i = 0; i < 3; ++i)
                c[i] = tint[i] * current.sunLightLevel * band;
            for (int i = 0; i < 3; ++i) {
                current.skyColor[i] = (1.0f - band) * current.skyColor[i] + c[i];
                current.fogColor[i] = (1.0f - band) * current.fogColor[i] + c[i];
                current.horizonColor[i] = (1.0f - band) * current.horizonColor[i] + c[i];
            }
            fogStart -= (fogStart - w.startCloud) * band;
            fogEnd -= (fogEnd - w.endCloud) * band;
        } else {
            fogStart = (1.0f - weatherIntensity) * w.startClear * band;
        }
    }

    current.sunBrightness *= brightnessFactor;
    current.sunLightLevel *= lightFactor;
    g_frame.cloudFadeFactor = band;

    FiniteAll(&current.sunHeight, 21);
    FiniteAll(g_frame.sunGlowColor, 3);
    FiniteAll(g_frame.horizonGlowColor, 3);
    fogStart = Finite(fogStart, 0.0f);
    fogEnd = Finite(fogEnd, 0.0f);
    sunVisibility = Finite(sunVisibility, 0.0f);
    g_frame.cloudFadeFactor = Finite(g_frame.cloudFadeFactor, 0.0f);

    skyDome.UpdateColors();
}

} // namespace envsys
