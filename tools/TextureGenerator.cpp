#include "tools/TextureGenerator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace envtools {

using envhost::PngImage;

namespace {

constexpr float kPi = 3.14159265f;

float Clamp01(float x) { return x < 0 ? 0 : (x > 1 ? 1 : x); }

float Smooth(float a, float b, float x) {
    const float t = Clamp01((x - a) / (b - a));
    return t * t * (3 - 2 * t);
}

uint8_t Byte(float x) { return static_cast<uint8_t>(std::lround(Clamp01(x) * 255.0f)); }

float Lattice(int x, int y, uint32_t seed) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return static_cast<float>(h & 0xFFFFFF) / 16777215.0f;
}

float ValueNoise(float x, float y, int px, int py, uint32_t seed) {
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    auto wrap = [](int i, int p) { return ((i % p) + p) % p; };
    const float tx = x - fx, ty = y - fy;
    const float sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
    const float a = Lattice(wrap(ix, px), wrap(iy, py), seed), b = Lattice(wrap(ix + 1, px), wrap(iy, py), seed);
    const float c = Lattice(wrap(ix, px), wrap(iy + 1, py), seed),
                d = Lattice(wrap(ix + 1, px), wrap(iy + 1, py), seed);
    return (a + (b - a) * sx) + ((c + (d - c) * sx) - (a + (b - a) * sx)) * sy;
}

void Put(PngImage& image, int x, int y, float r, float g, float b, float a) {
    image.Set(x, y, Byte(r), Byte(g), Byte(b), Byte(a));
}

// A radial sprite: colour everywhere, alpha from a profile of the radius
// (0 at the centre, 1 at the edge of the square's inscribed circle).
PngImage Radial(int size, float r, float g, float b, float (*profile)(float, float, float)) {
    PngImage image(size, size, 0, 0, 0, 0);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float dx = (x + 0.5f) / size * 2 - 1, dy = (y + 0.5f) / size * 2 - 1;
            const float radius = std::sqrt(dx * dx + dy * dy);
            const float angle = std::atan2(dy, dx);
            Put(image, x, y, r, g, b, profile(radius, angle, dx));
        }
    return image;
}

PngImage SkyGradient() {
    // Modulates the dome's vertex colours: slightly darker high up, full at
    // the horizon ring (v = 0.94) and below.
    PngImage image(4, 128);
    for (int y = 0; y < 128; ++y) {
        const float v = (y + 0.5f) / 128;
        const float k = 0.90f + 0.10f * Smooth(0.0f, 0.94f, v);
        for (int x = 0; x < 4; ++x)
            Put(image, x, y, k, k, k, 1);
    }
    return image;
}

// Horizon clouds for weather level (1..5): a strip around the whole
// horizon cut into eight panels so that neighbouring panels meet.
std::vector<PngImage> HorizonStrip(int level) {
    const int panelWidth = 256, height = 128, width = panelWidth * 8;
    // Cloud cover, the band's lower part that holds clouds, and the grey of
    // the cloud bases, by level.
    const float cover[5] = {0.30f, 0.45f, 0.55f, 0.85f, 0.97f};
    const float top[5] = {0.72f, 0.62f, 0.55f, 0.35f, 0.25f};
    const float base[5] = {0.82f, 0.80f, 0.76f, 0.70f, 0.55f};
    const int i = std::max(0, std::min(4, level - 1));
    std::vector<PngImage> panels(8, PngImage(panelWidth, height, 0, 0, 0, 0));
    for (int y = 0; y < height; ++y) {
        const float v = (y + 0.5f) / height;
        const float profile = Smooth(top[i], 0.97f, v);
        for (int x = 0; x < width; ++x) {
            // Clouds flatten toward the horizon: stretch the noise sideways.
            const float n = PeriodicNoise(x / 64.0f, y / 20.0f, width / 64, 1 << 20, 5, 11u + level);
            float density = Clamp01((n - (1.0f - cover[i])) * 3.5f) * profile;
            // Haze and overcast add an even veil low down.
            if (level >= 2) density = std::max(density, profile * (0.12f * (level - 1)));
            density = Clamp01(density);
            // Cloud tops catch light; bases are greyer.
            const float shade = base[i] + (1.0f - base[i]) * Clamp01(1.2f - n * 0.8f - v * 0.4f);
            Put(panels[x / panelWidth], x % panelWidth, y, shade, shade, shade * 1.02f, density);
        }
    }
    return panels;
}

PngImage CloudLayer(bool topSide, int level) {
    const int size = 256;
    PngImage image(size, size);
    const float dark = level >= 5 ? 0.62f : 0.78f;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float n = PeriodicNoise(x / 32.0f, y / 32.0f, size / 32, size / 32, 5, topSide ? 21u : 31u);
            if (topSide) {
                // A sea of cloud seen from above: bright tops, bluish-grey hollows.
                const float k = 0.78f + 0.22f * Smooth(0.3f, 0.75f, n);
                Put(image, x, y, k, k, k * 1.03f, 0.88f + 0.12f * n);
            } else {
                // The underside: an even grey with darker, denser patches.
                const float k = dark + (1 - dark) * 0.5f * (1 - Smooth(0.35f, 0.8f, n));
                Put(image, x, y, k, k, k * 1.02f, 0.93f + 0.07f * n);
            }
        }
    return image;
}

float SunDiscProfile(float r, float, float) { return Clamp01((1.0f - r) * 6.0f) * 0.9f + 0.35f * Clamp01(1.0f - r); }

PngImage SunDisc() {
    PngImage image = Radial(64, 1.0f, 0.97f, 0.88f, SunDiscProfile);
    return image;
}

PngImage TwilightFrame(int frame, int frames) {
    const int size = 64;
    PngImage image(size, size, 0, 0, 0, 0);
    const float phase = 2 * kPi * frame / frames;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float dx = (x + 0.5f) / size * 2 - 1,
                        dy = ((y + 0.5f) / size * 2 - 1) * 1.12f; // refraction flattens it
            const float angle = std::atan2(dy, dx);
            const float rim = 0.62f + 0.04f * std::sin(angle * 7 + phase) + 0.03f * std::sin(angle * 3 - phase * 2);
            const float r = std::sqrt(dx * dx + dy * dy);
            const float disc = Clamp01((rim - r) * 14.0f);
            const float glow = 0.45f * Clamp01(1.0f - r) * Clamp01(1.0f - r);
            const float g = 0.45f + 0.25f * Clamp01(1.0f - r / rim);
            Put(image, x, y, 1.0f, g, 0.22f + 0.1f * (1 - r), Clamp01(disc + glow));
        }
    return image;
}

float FlareProfile(float r, float angle, float) {
    const float core = std::exp(-r * r * 14.0f);
    const float halo = 0.35f * Clamp01(1 - r) * Clamp01(1 - r);
    const float rays = 0.25f * std::pow(std::fabs(std::cos(angle * 3.0f)), 40.0f) * Clamp01(1 - r);
    return Clamp01(core + halo + rays);
}

float TwilightFlareProfile(float r, float, float dx) {
    // Wide and low: the glow of a sun at the horizon spreads sideways.
    const float stretched = std::sqrt(r * r - dx * dx * 0.75f);
    return Clamp01(0.8f * std::exp(-stretched * stretched * 10.0f) * Clamp01(1 - r));
}

float RingProfile(float r, float, float) { return Clamp01(1.0f - std::fabs(r - 0.78f) * 9.0f) * 0.8f; }

float DiscProfile(float r, float, float) { return Clamp01((0.92f - r) * 10.0f) * (0.45f + 0.35f * r); }

float HexProfile(float r, float angle, float) {
    // Distance to a regular hexagon's edge.
    const float sector = std::fmod(angle + 2 * kPi, kPi / 3) - kPi / 6;
    const float edge = 0.86f / std::cos(sector);
    return Clamp01((edge - r) * 12.0f) * 0.6f;
}

float StarProfile(float r, float, float) { return std::exp(-r * r * 6.0f); }

float PuffProfile(float r, float, float) { return Clamp01(1 - r) * Clamp01(1 - r); }

PngImage Reflection(int sunLevel, int sharpness) {
    // A sky seen in a reflective surface: the light level's brightness, a
    // horizon band, softened for the rougher reflection level.
    const int size = 64;
    PngImage image(size, size);
    const float light[4] = {1.0f, 0.65f, 0.3f, 0.08f};
    const float k = light[std::max(0, std::min(3, sunLevel))];
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float v = (y + 0.5f) / size;
            const float horizon = sharpness == 0 ? Smooth(0.4f, 0.55f, v) : Smooth(0.25f, 0.75f, v);
            const float r = (0.30f + 0.45f * horizon) * k, g = (0.45f + 0.35f * horizon) * k,
                        b = (0.75f + 0.15f * horizon) * k;
            Put(image, x, y, r, g, b, 1);
        }
    return image;
}

std::string Name(const char* pattern, int a, int b = 0) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, a, b);
    return text;
}

} // namespace

float PeriodicNoise(float x, float y, int periodX, int periodY, int octaves, uint32_t seed) {
    float sum = 0, amplitude = 0.5f, total = 0;
    for (int o = 0; o < octaves; ++o) {
        const int scale = 1 << o;
        sum += amplitude * ValueNoise(x * scale, y * scale, std::max(1, periodX * scale), std::max(1, periodY * scale),
                                      seed + 101u * o);
        total += amplitude;
        amplitude *= 0.5f;
    }
    return sum / total;
}

std::vector<GeneratedTexture> GenerateDefaultTextures() {
    std::vector<GeneratedTexture> out;
    out.push_back({"sky_gradient.png", SkyGradient()});
    for (int level = 1; level <= 5; ++level) {
        std::vector<PngImage> panels = HorizonStrip(level);
        for (int p = 0; p < 8; ++p)
            out.push_back({Name("horizon_%d_%d.png", level, p + 1), panels[p]});
    }
    for (int level = 4; level <= 5; ++level) {
        out.push_back({Name("cloud_top_%d.png", level), CloudLayer(true, level)});
        out.push_back({Name("cloud_bottom_%d.png", level), CloudLayer(false, level)});
    }
    out.push_back({"sun_disc.png", SunDisc()});
    const int frames = 8;
    for (int f = 1; f <= frames; ++f)
        out.push_back({Name("twilight_sun_%02d.png", f), TwilightFrame(f - 1, frames)});
    out.push_back({"sun_flare.png", Radial(128, 1.0f, 0.96f, 0.85f, FlareProfile)});
    out.push_back({"twilight_flare.png", Radial(128, 1.0f, 0.62f, 0.35f, TwilightFlareProfile)});
    out.push_back({"lens_ring.png", Radial(64, 1, 1, 1, RingProfile)});
    out.push_back({"lens_disc.png", Radial(64, 1, 1, 1, DiscProfile)});
    out.push_back({"lens_hex.png", Radial(64, 1, 1, 1, HexProfile)});
    out.push_back({"star.png", Radial(16, 1, 1, 1, StarProfile)});
    out.push_back({"cloud_puff.png", Radial(64, 1, 1, 1, PuffProfile)});
    for (int s = 0; s < 4; ++s)
        for (int r = 0; r < 2; ++r)
            out.push_back({Name("reflect_%d_%d.png", s, r), Reflection(s, r)});
    return out;
}

} // namespace envtools
