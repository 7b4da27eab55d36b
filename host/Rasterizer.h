// The software rasteriser under the renderer: a float colour and depth
// buffer, triangles with perspective-correct colour and texture
// coordinates, bilinear texture sampling with the stage's addressing, the
// material blend operations, fog, tiny-quad splats and streaks.
#pragma once

#include <cstdint>
#include <vector>

#include "host/PngImage.h"

namespace envhost {

struct Texture {
    int width = 0;
    int height = 0;
    std::vector<float> texels; // r, g, b, a, 0..1, row by row from the top
    float mean[4] = {0, 0, 0, 0};

    void FromImage(const PngImage& image);
    // Bilinear sample at (u, v); flags are the stage flags (tile, mirror).
    void Sample(float u, float v, uint32_t flags, float* out4) const;
};

// A vertex ready for filling: screen position, 1 / depth (1 for screen
// quads), colour, texture coordinates and the fog amount 0..1.
struct RasterVertex {
    float sx, sy, invDepth;
    float r, g, b, a;
    float u, v;
    float fog;
};

struct RasterState {
    const Texture* texture = nullptr;
    uint32_t stageFlags = 0;
    uint16_t colorOp = 0;
    uint16_t alphaOp = 0;
    uint16_t blendOp = 0;
    uint16_t cullMode = 0;
    bool depthCheck = false;
    bool depthWrite = false;
    bool alphaTest = false;
    float fogColor[3] = {0, 0, 0};
};

class FrameBuffer {
public:
    void Resize(int width, int height);
    void Clear(const float* rgb);
    PngImage ToImage() const;

    float* Color(int x, int y) { return &color_[(static_cast<size_t>(y) * width_ + x) * 3]; }
    float& Depth(int x, int y) { return depth_[static_cast<size_t>(y) * width_ + x]; }
    int Width() const { return width_; }
    int Height() const { return height_; }

    // Blends one source pixel with the destination by a material blend
    // operation; weight scales how much of the result replaces the old value.
    static void Blend(float* dst, const float* src4, uint16_t blendOp, float weight = 1.0f);

    // A triangle; returns false when culled or off screen.
    bool FillTriangle(const RasterState& state, const RasterVertex& a, const RasterVertex& b, const RasterVertex& c);
    // A quad too small to rasterise: its colour spread over the four
    // nearest pixels in proportion to its area.
    void Splat(const RasterState& state, float cx, float cy, float area, const float* rgba);
    // A one-pixel line with depth test; depths are camera distances.
    void Line(float x0, float y0, float d0, float x1, float y1, float d1, const float* rgba);

    uint64_t pixelsFilled = 0;

private:
    void Shade(const RasterState& state, float r, float g, float b, float a, float u, float v, float fog,
               float* out4) const;
    int width_ = 0;
    int height_ = 0;
    std::vector<float> color_;
    std::vector<float> depth_;
};

} // namespace envhost
