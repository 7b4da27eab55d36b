// The software rasteriser under the renderer: a float colour and depth
// buffer, triangles with perspective-correct colour and texture
// coordinates, bilinear texture sampling with the stage's addressing, the
// material blend operations, fog, tiny-quad splats and streaks.
//
// Triangles are watertight: vertices snap to a grid of 1/256 pixel, the
// edge functions are exact 64-bit integers and a pixel centre on an edge
// belongs to the triangle on its top or left side, so triangles sharing an
// edge fill every pixel along it exactly once. Every fill takes a range of
// rows, so a frame can be drawn band by band on several threads; a pixel's
// result does not depend on the band it is drawn in.
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

// Sub-pixel steps per pixel of the snapped vertex positions.
constexpr int kSubPixelBits = 8;

// A triangle made ready for filling: snapped, wound clockwise on the
// screen, with its covered pixel bounds and the planes of its attributes.
struct TriangleSetup {
    int64_t x[3], y[3];           // vertices in sub-pixel steps
    int64_t edgeBase[3];          // edge e at a pixel centre (x, Y): edgeBase + edgeStepY * Y - edgeStepX * x
    int64_t edgeStepY[3];         // Y in sub-pixel steps
    int64_t edgeStepX[3];         // per whole pixel
    int left, right, top, bottom; // pixels whose centres may be covered, inside the frame
    // r, g, b, a, u, v, fog and 1, each divided by depth: linear across the
    // screen, value = base + dx * (px - originX) + dy * (py - originY).
    double originX, originY;
    double base[8], dx[8], dy[8];
    bool fogged; // some vertex has fog
};

class FrameBuffer {
public:
    // A triangle crossing the guard band around the frame becomes a fan of
    // at most this many pieces.
    static constexpr int kMaxPieces = 5;

    void Resize(int width, int height);
    void Clear(const float* rgb) { ClearRows(rgb, 0, height_); }
    void ClearRows(const float* rgb, int rowBegin, int rowEnd);
    PngImage ToImage() const;
    // Converts the rows [rowBegin, rowEnd) into an image of the frame's size.
    void ToImageRows(PngImage* image, int rowBegin, int rowEnd) const;

    float* Color(int x, int y) { return &color_[(static_cast<size_t>(y) * width_ + x) * 3]; }
    float& Depth(int x, int y) { return depth_[static_cast<size_t>(y) * width_ + x]; }
    int Width() const { return width_; }
    int Height() const { return height_; }

    // Blends one source pixel with the destination by a material blend
    // operation; weight scales how much of the result replaces the old value.
    static void Blend(float* dst, const float* src4, uint16_t blendOp, float weight = 1.0f);

    // Culls a triangle, clips it to the guard band and snaps it; writes up
    // to kMaxPieces setups and returns how many (0: nothing to fill).
    int SetUp(const RasterState& st, const RasterVertex& v0, const RasterVertex& v1, const RasterVertex& v2,
              TriangleSetup* out) const;
    // Fills the triangle's pixels in rows [rowBegin, rowEnd); returns the
    // number of pixels written.
    uint64_t Fill(const RasterState& state, const TriangleSetup& t, int rowBegin, int rowEnd);
    // A quad too small to rasterise: its colour spread over the four
    // nearest pixels in proportion to its area.
    uint64_t Splat(const RasterState& state, float cx, float cy, float area, const float* rgba, int rowBegin,
                   int rowEnd);
    // A one-pixel line with depth test; depths are camera distances.
    uint64_t Line(float x0, float y0, float d0, float x1, float y1, float d1, const float* rgba, int rowBegin,
                  int rowEnd);

    // The whole primitive at once; returns false when culled or off screen.
    bool FillTriangle(const RasterState& state, const RasterVertex& a, const RasterVertex& b, const RasterVertex& c);

    uint64_t pixelsFilled = 0;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<float> color_;
    std::vector<float> depth_;
};

// Screen coordinates far beyond any frame (or not numbers at all) come only
// from bad input; such a primitive is dropped before any integer conversion.
bool UsableCoordinate(float x);

} // namespace envhost
