#include "sky/Sun.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "config/IniFile.h"
#include "config/Material.h"
#include "config/StringUtils.h"
#include "environment/CelestialFrame.h"
#include "environment/LightState.h"
#include "plugin/EnvironmentSystem.h"
#include "plugin/FrameContext.h"
#include "plugin/Log.h"
#include "plugin/PluginState.h"

namespace envsys {
namespace {

// Passed as given to the graphics service's quad operations.
constexpr int32_t kQuadPassFlags = 0;
constexpr int32_t kQuadMode = 3;
// Below this flare-offset length the flare axis has no direction.
constexpr float kFlareAxisEpsilon = 1.1920929e-07f;

// A float truncated towards zero into a 32-bit value, saturating instead of
// overflowing (NaN gives 0).
int32_t TruncateToInt(float value) {
    if (!(value == value)) return 0;
    if (value >= 2147483648.0f) return 2147483647;
    if (value < -2147483648.0f) return -2147483647 - 1;
    return static_cast<int32_t>(value);
}

void SetCorner(Vertex& v, float x, float y, const float* rgba) {
    v.x = x;
    v.z = y;
    v.r = rgba[0];
    v.g = rgba[1];
    v.b = rgba[2];
    v.a = rgba[3];
}

// An axis-aligned quad centred at (cx, cy), corners (-,-), (-,+), (+,+), (+,-).
void SetAlignedQuad(Vertex* quad, float cx, float cy, float hx, float hy, const float* rgba) {
    SetCorner(quad[0], cx - hx, cy - hy, rgba);
    SetCorner(quad[1], cx - hx, cy + hy, rgba);
    SetCorner(quad[2], cx + hx, cy + hy, rgba);
    SetCorner(quad[3], cx + hx, cy - hy, rgba);
}

// A setting the file spells as NaN or infinity reads as its default: the
// quads and colours made from it are handed to graphics.
float ReadFinite(IniFile& file, const char* section, const char* key, float fallback) {
    const float v = file.GetFloat(section, key, fallback);
    return std::isfinite(v) ? v : fallback;
}

void DrawOneQuad(GraphicsService* gfx, MaterialRecord* material) {
    gfx->SetQuadMaterial(material);
    gfx->SetQuadMode(kQuadMode);
    gfx->DrawQuads(1, Sun::quadBlock);
    gfx->EndQuads();
}

} // namespace

Vertex Sun::quadBlock[4];

void Sun::ResetQuadBlock() {
    const float uv[4][2] = {{0.0f, 0.0f}, {0.0f, 1.0f}, {1.0f, 1.0f}, {1.0f, 0.0f}};
    for (int32_t i = 0; i < 4; ++i) {
        quadBlock[i] = Vertex{};
        quadBlock[i].y = 1.0f;
        quadBlock[i].u = uv[i][0];
        quadBlock[i].v = uv[i][1];
    }
}

void Sun::Load(IniFile& file) {
    Release();
    LogMessage("...loading sun...");
    GraphicsService* gfx = Gfx();
    if (gfx != nullptr) light = gfx->CreateLight(0);

    char name[kNameBufferSize];
    file.GetString("Sun", "DaySunMaterial", "", name, kNameBufferSize, kCaseAsStored);
    std::memset(&daySunMaterial, 0, sizeof daySunMaterial);
    if (gfx != nullptr) gfx->LoadMaterialRecord(&daySunMaterial, &file, name);

    file.GetString("Sun", "TwilightSunMaterial", "", name, kNameBufferSize, kCaseAsStored);
    const int32_t frames = file.GetInt("Sun", "TwilightSunAnimation", 0);
    MaterialRecord templateRecord;
    LoadMaterial(&templateRecord, &file, name);
    char format[kNameBufferSize];
    file.GetString("Sun", "TwilightSunFormat", "", format, kNameBufferSize, kCaseAsStored);
    BuildTwilightFrames(templateRecord, frames, format);

    sunAngle = ReadFinite(file, "Sun", "SunAngle", 0.0f);
    // A cone of cosine 1 has no width: nothing dims the ambient light then.
    sunAngleScale = sunAngle != 1.0f ? 1.0f / (1.0f - sunAngle) : 0.0f;
    daySunSize = ReadFinite(file, "Sun", "DaySunSize", 0.0f);
    twilightSunSize = ReadFinite(file, "Sun", "TwilightSunSize", 0.0f);

    file.GetString("Sun", "SunFlareMaterial", "", name, kNameBufferSize, kCaseAsStored);
    std::memset(&sunFlareMaterial, 0, sizeof sunFlareMaterial);
    if (gfx != nullptr) gfx->LoadMaterialRecord(&sunFlareMaterial, &file, name);
    sunFlareSize = ReadFinite(file, "Sun", "SunFlareSize", 0.0f);
    file.GetString("Sun", "TwilightSunFlareMaterial", "", name, kNameBufferSize, kCaseAsStored);
    std::memset(&twilightSunFlareMaterial, 0, sizeof twilightSunFlareMaterial);
    if (gfx != nullptr) gfx->LoadMaterialRecord(&twilightSunFlareMaterial, &file, name);
    twilightSunFlareSize = ReadFinite(file, "Sun", "TwilightSunFlareSize", 0.0f);

    overcastAmbientModifier = ReadFinite(file, "Sun", "OvercastAmbientModifier", 0.0f);
    overcastDirectModifier = ReadFinite(file, "Sun", "OvercastDirectModifier", 0.0f);
    LoadLensFlares(file);
}

void Sun::BuildTwilightFrames(const MaterialRecord& templateRecord, int32_t n, const char* nameFormat) {
    twilightFrames.Free();
    if (n <= 0 || !twilightFrames.Allocate(n)) return;
    GraphicsService* gfx = Gfx();
    MaterialRecord* records = twilightFrames.Records();
    // A rejected pattern is logged once; the remaining frames keep an empty
    // texture name rather than repeating the message n times.
    bool formatUsable = !StrIsEmpty(nameFormat);
    for (int32_t i = 0; i < n; ++i) {
        MaterialRecord& frame = records[i];
        frame = templateRecord;
        char name[kNameBufferSize];
        StrClear(name);
        if (formatUsable) formatUsable = FormatIntegerPattern(name, kNameBufferSize, nameFormat, 1, i + 1);
        // A name longer than the stage's 63 characters is cut.
        StrCopy(frame.stages[0].textureName, name, kTextureNameSize);
        if (gfx != nullptr) gfx->PrepareMaterial(&frame);
    }
}

void Sun::LoadLensFlares(IniFile& file) {
    lensFlares.Free();
    const int32_t n = file.CountSections("LensFlare%03d");
    if (n <= 0 || !lensFlares.Allocate(n)) return;
    GraphicsService* gfx = Gfx();
    LensFlare* flares = lensFlares.Records();
    for (int32_t i = 0; i < n; ++i) {
        LensFlare& flare = flares[i];
        char section[32];
        std::snprintf(section, sizeof section, "LensFlare%03d", static_cast<int>(i + 1));
        flare.position = 2.0f * ReadFinite(file, section, "PositionFactor", 1.2f);
        flare.size = ReadFinite(file, section, "Size", 0.0f);
        char text[kNameBufferSize];
        file.GetString(section, "Fade", "", text, kNameBufferSize, kCaseAsStored);
        flare.fade = StrEqual(text, "NORMAL", 0)    ? kFadeNormal
                     : StrEqual(text, "REVERSE", 0) ? kFadeReverse
                                                    : kFadeNone;
        // A flare without a Color key draws its texture unchanged: white,
        // opaque.
        for (float& c : flare.color)
            c = 1.0f;
        GetColorAlpha(flare.color, &file, section, "Color");
        file.GetString(section, "Material", "", text, kNameBufferSize, kCaseAsStored);
        if (gfx != nullptr) gfx->LoadMaterialRecord(&flare.material, &file, text);
    }
}

void Sun::SetDirection(const CelestialFrame& frame) {
    direction[0] = frame.sunDirection[0];
    direction[1] = frame.sunDirection[1];
    direction[2] = frame.sunDirection[2];
}

float* Sun::GetSunDirection(float* out3) const {
    if (out3 != nullptr) {
        out3[0] = direction[0];
        out3[1] = direction[1];
        out3[2] = direction[2];
    }
    return out3;
}

HostLight* Sun::GetSunLight() const {
    const LightState* current = g_frame.light;
    return current != nullptr && current->sunLightLevel > 0.0f ? light : nullptr;
}

void Sun::UpdateLight() {
    GraphicsService* gfx = Gfx();
    const LightState* current = g_frame.light;
    if (gfx == nullptr || current == nullptr) return;
    const bool skyVisible = g_environmentSystem.skyVisible != 0;

    float ambient[3] = {current->ambientColor[0], current->ambientColor[1], current->ambientColor[2]};
    float factor;
    if (skyVisible) {
        // Looking into the glare cone around the sun darkens the ambient
        // light in proportion to how far inside the cone the view points.
        const float* forward = g_frame.viewOrientation + 6;
        const float d = sunAngle - (forward[0] * direction[0] + forward[1] * direction[1] + forward[2] * direction[2]);
        factor = d < 0.0f ? 1.0f + d * sunAngleScale * current->sunBrightness : 1.0f;
    } else {
        factor = overcastAmbientModifier;
    }
    for (float& c : ambient)
        c *= factor;
    gfx->SetAmbientColor(ambient);

    if (light == nullptr || !(current->sunLightLevel > 0.0f)) return;
    LightRecord* record = nullptr;
    record = light->GetLightData(&record);
    if (record == nullptr) return;
    const float diffuseScale = current->sunLightLevel * (skyVisible ? 1.0f : overcastDirectModifier);
    for (int32_t i = 0; i < 3; ++i) {
        record->direction[i] = -direction[i];
        record->diffuse[i] = current->sunColor[i] * diffuseScale;
    }
    record->lightSwitch = skyVisible ? 1 : 0;
    light->Commit();
}

void Sun::Draw(float v) {
    GraphicsService* gfx = Gfx();
    HostView* view = g_frame.currentView;
    const LightState* current = g_frame.light;
    visible = 0;
    flareIntensity = 0.0f;
    twilightFactor = 0.0f;
    if (gfx == nullptr || view == nullptr || current == nullptr) return;

    float projected[3] = {0.0f, 0.0f, 0.0f};
    view->ProjectDirection(projected, direction);
    sunScreenPos[0] = projected[0];
    sunScreenPos[1] = projected[2];
    visible = view->IsSunVisible(projected, TruncateToInt(daySunSize)) != 0 ? 1 : 0;
    if (!visible) return;

    float hx = 0.0f, hy = 0.0f;
    view->ScreenExtent(daySunSize, &hx, &hy);
    const float white[4] = {1.0f, 1.0f, 1.0f, v};
    SetAlignedQuad(quadBlock, sunScreenPos[0], sunScreenPos[1], hx, hy, white);
    gfx->BeginQuads(kQuadPassFlags);
    DrawOneQuad(gfx, &daySunMaterial);

    twilightFactor = 1.0f - current->sunBrightness;
    if (twilightFactor > 0.0f) {
        view->ScreenExtent(twilightSunSize, &hx, &hy);
        float m[9];
        view->GetViewMatrix(m);
        // The twilight disc turns with the view's roll.
        const float c = m[8];
        const float s = m[2];
        const float corners[4][2] = {{-hx, -hy}, {-hx, hy}, {hx, hy}, {hx, -hy}};
        for (int32_t i = 0; i < 4; ++i) {
            const float x = corners[i][0];
            const float y = corners[i][1];
            quadBlock[i].x = sunScreenPos[0] + (x * c - y * s);
            quadBlock[i].z = sunScreenPos[1] + (x * s + y * c);
            quadBlock[i].a = twilightFactor;
        }
        const int32_t n = twilightFrames.count;
        // Neither factor is negative, so only the upper end needs a bound.
        int32_t frame = TruncateToInt(static_cast<float>(n) * twilightFactor);
        if (frame > n - 1) frame = n - 1;
        DrawOneQuad(gfx, n > 0 ? &twilightFrames.Records()[frame] : nullptr);
    }

    ViewInfo* info = nullptr;
    info = view->GetViewInfo(&info);
    if (info != nullptr) {
        flareOffset[0] =
            ((static_cast<float>(info->left) + static_cast<float>(info->right)) * 0.5f - sunScreenPos[0]) * 0.5f;
        flareOffset[1] =
            ((static_cast<float>(info->top) + static_cast<float>(info->bottom)) * 0.5f - sunScreenPos[1]) * 0.5f;
        const float scale = view->ScreenAspect() * view->ScreenScale(static_cast<float>(info->bottom - info->top));
        // A degenerate viewport gives the flares no falloff rather than a
        // division by zero.
        const float q = scale != 0.0f ? 1.0f / scale : 0.0f;
        flareIntensity = (1.0f - std::fabs(flareOffset[0]) * q - std::fabs(flareOffset[1]) * q) * v;
    } else {
        flareOffset[0] = flareOffset[1] = 0.0f;
    }
    DrawSunFlares(gfx, view, *current, v);
}

void Sun::DrawSunFlares(GraphicsService* gfx, HostView* view, const LightState& current, float v) {
    float hx = 0.0f, hy = 0.0f;
    if (flareIntensity > 0.0f) {
        const float k = flareIntensity * current.sunLightLevel * 0.5f;
        const float color[4] = {k, k, k, v};
        view->ScreenExtent(flareIntensity * sunFlareSize, &hx, &hy);
        SetAlignedQuad(quadBlock, sunScreenPos[0], sunScreenPos[1], hx, hy, color);
        DrawOneQuad(gfx, &sunFlareMaterial);
    }
    if (twilightFactor > 0.0f) {
        const float k = twilightFactor * 0.5f;
        const float color[4] = {k, k, k, v};
        view->ScreenExtent(twilightFactor * twilightSunFlareSize, &hx, &hy);
        SetAlignedQuad(quadBlock, sunScreenPos[0], sunScreenPos[1], hx, hy, color);
        DrawOneQuad(gfx, &twilightSunFlareMaterial);
    }
}

void Sun::DrawLensFlares(float) {
    GraphicsService* gfx = Gfx();
    HostView* view = g_frame.currentView;
    const LightState* current = g_frame.light;
    if (!visible || gfx == nullptr || view == nullptr || current == nullptr) return;
    const float brightness = current->sunBrightness;
    if (!(flareIntensity > 0.0f) || !(brightness > 0.0f)) return;

    gfx->BeginQuads(kQuadPassFlags);
    const float length = std::sqrt(flareOffset[0] * flareOffset[0] + flareOffset[1] * flareOffset[1]);
    if (length > kFlareAxisEpsilon) {
        flareDirection[0] = flareOffset[0] / length;
        flareDirection[1] = flareOffset[1] / length;
        const float dx = flareDirection[0];
        const float dy = flareDirection[1];
        const float aspect = view->ScreenAspect();
        const float intensity = flareIntensity;
        LensFlare* flares = lensFlares.Records();
        for (int32_t i = 0; i < lensFlares.count; ++i) {
            LensFlare& flare = flares[i];
            float s = flare.size;
            float alpha = flare.color[3];
            if (flare.fade == kFadeNormal) {
                s = (intensity + 0.5f) * flare.size;
                alpha = (1.0f - intensity) * flare.color[3];
            } else if (flare.fade == kFadeReverse) {
                s = (1.5f - intensity) * flare.size;
                alpha = intensity * flare.color[3];
            }
            alpha *= brightness;
            const float cx = sunScreenPos[0] + flare.position * flareOffset[0];
            const float cy = sunScreenPos[1] + flare.position * flareOffset[1];
            const float a = aspect * s;
            const float rgba[4] = {flare.color[0], flare.color[1], flare.color[2], alpha};
            // The quad is turned so that its first axis follows the flare
            // axis; the vertical extent is stretched by the screen aspect.
            SetCorner(quadBlock[0], cx - dx * s, cy - dy * a, rgba);
            SetCorner(quadBlock[1], cx - dy * s, cy + dx * a, rgba);
            SetCorner(quadBlock[2], cx + dx * s, cy + dy * a, rgba);
            SetCorner(quadBlock[3], cx + dy * s, cy - dx * a, rgba);
            gfx->SetQuadMaterial(&flare.material);
            gfx->SetQuadMode(kQuadMode);
            gfx->DrawQuads(1, quadBlock);
        }
    }
    // The pass is closed even when nothing was drawn, so the host never
    // carries an open quad pass into its next drawing.
    gfx->EndQuads();
}

void Sun::Release() {
    GraphicsService* gfx = Gfx();
    if (light != nullptr && gfx != nullptr) gfx->ReleaseLight(&light);
    light = nullptr;
    twilightFrames.Free();
    lensFlares.Free();
}

} // namespace envsys
