#include "host/Rasterizer.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "envsys/Records.h"

namespace envhost {

using namespace envsys;

namespace {

float Clamp01(float x) { return x < 0 ? 0 : (x > 1 ? 1 : x); }

// Texel index along one axis for an integer position, by the stage's
// addressing: tiled, mirrored or clamped to the edge.
int Address(int i, int n, bool tile, bool mirror) {
    if (mirror) {
        const int period = 2 * n;
        int m = i % period;
        if (m < 0) m += period;
        return m < n ? m : period - 1 - m;
    }
    if (tile) {
        int m = i % n;
        return m < 0 ? m + n : m;
    }
    return i < 0 ? 0 : (i >= n ? n - 1 : i);
}

// Screen coordinates far beyond any frame (or not numbers at all) come only
// from bad input; such a primitive is dropped before any integer conversion.
bool Usable(float x) { return std::isfinite(x) && std::fabs(x) < 1e8f; }

float EdgeFunction(float ax, float ay, float bx, float by, float px, float py) {
    return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
}

} // namespace

void Texture::FromImage(const PngImage& image) {
    width = image.width;
    height = image.height;
    texels.resize(static_cast<size_t>(width) * height * 4);
    double sum[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < texels.size(); ++i) {
        texels[i] = image.rgba[i] * (1.0f / 255.0f);
        sum[i % 4] += texels[i];
    }
    const double n = texels.empty() ? 1.0 : static_cast<double>(width) * height;
    for (int c = 0; c < 4; ++c)
        mean[c] = static_cast<float>(sum[c] / n);
}

void Texture::Sample(float u, float v, uint32_t flags, float* out) const {
    if (width <= 0 || height <= 0 || !std::isfinite(u) || !std::isfinite(v)) {
        out[0] = out[1] = out[2] = out[3] = 1.0f;
        return;
    }
    const bool tileU = (flags & kStageTileU) != 0, tileV = (flags & kStageTileV) != 0;
    const bool mirrorU = (flags & kStageMirrorU) != 0, mirrorV = (flags & kStageMirrorV) != 0;
    // Far outside the texture every addressing mode repeats or clamps, so
    // the coordinate can be folded into a small range first.
    if (tileU || mirrorU) u -= 2.0f * std::floor(u * 0.5f);
    if (tileV || mirrorV) v -= 2.0f * std::floor(v * 0.5f);
    u = std::max(-4.0f, std::min(4.0f, u));
    v = std::max(-4.0f, std::min(4.0f, v));
    const float x = u * width - 0.5f, y = v * height - 0.5f;
    const float fx0 = std::floor(x), fy0 = std::floor(y);
    const float fx = x - fx0, fy = y - fy0;
    const int x0 = static_cast<int>(fx0), y0 = static_cast<int>(fy0);
    const int xa = Address(x0, width, tileU, mirrorU), xb = Address(x0 + 1, width, tileU, mirrorU);
    const int ya = Address(y0, height, tileV, mirrorV), yb = Address(y0 + 1, height, tileV, mirrorV);
    const float* p00 = &texels[(static_cast<size_t>(ya) * width + xa) * 4];
    const float* p10 = &texels[(static_cast<size_t>(ya) * width + xb) * 4];
    const float* p01 = &texels[(static_cast<size_t>(yb) * width + xa) * 4];
    const float* p11 = &texels[(static_cast<size_t>(yb) * width + xb) * 4];
    for (int c = 0; c < 4; ++c) {
        const float top = p00[c] + (p10[c] - p00[c]) * fx;
        const float bottom = p01[c] + (p11[c] - p01[c]) * fx;
        out[c] = top + (bottom - top) * fy;
    }
}

void FrameBuffer::Resize(int width, int height) {
    width_ = std::max(1, width);
    height_ = std::max(1, height);
    color_.assign(static_cast<size_t>(width_) * height_ * 3, 0.0f);
    depth_.assign(static_cast<size_t>(width_) * height_, std::numeric_limits<float>::infinity());
}

void FrameBuffer::Clear(const float* rgb) {
    for (size_t i = 0; i < color_.size(); i += 3) {
        color_[i] = rgb[0];
        color_[i + 1] = rgb[1];
        color_[i + 2] = rgb[2];
    }
    std::fill(depth_.begin(), depth_.end(), std::numeric_limits<float>::infinity());
}

PngImage FrameBuffer::ToImage() const {
    PngImage image(width_, height_);
    for (size_t i = 0, n = static_cast<size_t>(width_) * height_; i < n; ++i) {
        for (int c = 0; c < 3; ++c)
            image.rgba[i * 4 + c] = static_cast<uint8_t>(std::lround(Clamp01(color_[i * 3 + c]) * 255.0f));
        image.rgba[i * 4 + 3] = 255;
    }
    return image;
}

// Blend operations of a material, as this host reads them. The frame has no
// alpha of its own, so a destination alpha counts as 1.
void FrameBuffer::Blend(float* dst, const float* s, uint16_t op, float weight) {
    const float a = Clamp01(s[3]);
    float out[3];
    for (int c = 0; c < 3; ++c) {
        const float d = dst[c], x = s[c];
        float r;
        switch (op) {
        case kBlendAdd:
            r = d + x;
            break;
        case kBlendModulate:
            r = d * x;
            break;
        case kBlendModulateAndAddSrc:
            r = d * x + x;
            break;
        case kBlendModulateAndAddDst:
            r = d * x + d;
            break;
        case kBlendModulateMul2:
            r = 2.0f * d * x;
            break;
        case kBlendModulateInvSrc:
            r = d * (1.0f - x);
            break;
        case kBlendModulateInvDst:
            r = x * (1.0f - d);
            break;
        case kBlendSrcAlpha:
            r = x * a + d * (1.0f - a);
            break;
        case kBlendInvSrcAlpha:
            r = x * (1.0f - a) + d * a;
            break;
        case kBlendInvDstAlpha:
            r = d;
            break;
        case kBlendSrcAlphaAddDst:
            r = x * a + d;
            break;
        case kBlendInvSrcAlphaAddSrc:
            r = x + d * (1.0f - a);
            break;
        default:
            r = x;
            break; // ZERO, ONE, DST_ALPHA: the source replaces what was there
        }
        out[c] = Clamp01(r);
    }
    for (int c = 0; c < 3; ++c)
        dst[c] += (out[c] - dst[c]) * weight;
}

void FrameBuffer::Shade(const RasterState& st, float r, float g, float b, float a, float u, float v, float fog,
                        float* out) const {
    float c[4] = {r, g, b, a};
    if (st.texture != nullptr) {
        float t[4];
        st.texture->Sample(u, v, st.stageFlags, t);
        switch (st.colorOp) {
        case kStageTexture:
            c[0] = t[0], c[1] = t[1], c[2] = t[2];
            break;
        case kStageDiffuse:
            break;
        case kStageTextureAddCurrent:
        case kStageTextureAddDiffuse:
        case kStageTextureAddSpecular:
            for (int i = 0; i < 3; ++i)
                c[i] = Clamp01(c[i] + t[i]);
            break;
        case kStageTextureBlendTextureAlpha:
            for (int i = 0; i < 3; ++i)
                c[i] += (t[i] - c[i]) * t[3];
            break;
        default: // an unset operation shows the texture lit by the vertex colour
            for (int i = 0; i < 3; ++i)
                c[i] *= t[i];
            break;
        }
        switch (st.alphaOp) {
        case kStageTexture:
            c[3] = t[3];
            break;
        case kStageDiffuse:
            break;
        case kStageTextureAddCurrent:
        case kStageTextureAddDiffuse:
            c[3] = Clamp01(c[3] + t[3]);
            break;
        default:
            c[3] *= t[3];
            break;
        }
    }
    if (fog > 0) {
        for (int i = 0; i < 3; ++i)
            c[i] += (st.fogColor[i] - c[i]) * fog;
    }
    for (int i = 0; i < 4; ++i)
        out[i] = c[i];
}

bool FrameBuffer::FillTriangle(const RasterState& st, const RasterVertex& v0, const RasterVertex& v1,
                               const RasterVertex& v2) {
    for (const RasterVertex* v : {&v0, &v1, &v2})
        if (!Usable(v->sx) || !Usable(v->sy) || !Usable(v->invDepth)) return false;
    float area = EdgeFunction(v0.sx, v0.sy, v1.sx, v1.sy, v2.sx, v2.sy);
    if (!(std::fabs(area) > 1e-12f) || !std::isfinite(area)) return false;
    // With y down the screen, a positive area is a clockwise triangle.
    if (st.cullMode == kCullCounterClockwise && area < 0) return false;
    if (st.cullMode == kCullClockwise && area > 0) return false;
    const RasterVertex* p[3] = {&v0, &v1, &v2};
    if (area < 0) {
        std::swap(p[1], p[2]);
        area = -area;
    }
    const float minX = std::min({p[0]->sx, p[1]->sx, p[2]->sx});
    const float maxX = std::max({p[0]->sx, p[1]->sx, p[2]->sx});
    const float minY = std::min({p[0]->sy, p[1]->sy, p[2]->sy});
    const float maxY = std::max({p[0]->sy, p[1]->sy, p[2]->sy});
    if (maxX < 0 || maxY < 0 || minX > width_ || minY > height_) return false;
    const int x0 = std::max(0, static_cast<int>(std::floor(minX)));
    const int x1 = std::min(width_ - 1, static_cast<int>(std::ceil(maxX)));
    const int y0 = std::max(0, static_cast<int>(std::floor(minY)));
    const int y1 = std::min(height_ - 1, static_cast<int>(std::ceil(maxY)));
    const float invArea = 1.0f / area;

    // Attributes divided by depth interpolate linearly across the screen.
    float attr[3][8];
    for (int i = 0; i < 3; ++i) {
        const float w = p[i]->invDepth;
        const float values[8] = {p[i]->r, p[i]->g, p[i]->b, p[i]->a, p[i]->u, p[i]->v, p[i]->fog, 1.0f};
        for (int k = 0; k < 8; ++k)
            attr[i][k] = values[k] * w;
    }
    // Top-left rule: a pixel centre exactly on an edge belongs to one triangle only.
    bool owns[3];
    for (int e = 0; e < 3; ++e) {
        const RasterVertex* a = p[(e + 1) % 3];
        const RasterVertex* b = p[(e + 2) % 3];
        const float dx = b->sx - a->sx, dy = b->sy - a->sy;
        owns[e] = (dy < 0) || (dy == 0 && dx > 0);
    }
    for (int y = y0; y <= y1; ++y) {
        const float py = y + 0.5f;
        for (int x = x0; x <= x1; ++x) {
            const float px = x + 0.5f;
            float w[3];
            bool inside = true;
            for (int e = 0; e < 3 && inside; ++e) {
                const RasterVertex* a = p[(e + 1) % 3];
                const RasterVertex* b = p[(e + 2) % 3];
                w[e] = EdgeFunction(a->sx, a->sy, b->sx, b->sy, px, py);
                inside = w[e] > 0 || (w[e] == 0 && owns[e]);
            }
            if (!inside) continue;
            const float b0 = w[0] * invArea, b1 = w[1] * invArea, b2 = w[2] * invArea;
            float val[8];
            for (int k = 0; k < 8; ++k)
                val[k] = b0 * attr[0][k] + b1 * attr[1][k] + b2 * attr[2][k];
            const float invDepth = val[7];
            if (!(invDepth > 0)) continue;
            const float depth = 1.0f / invDepth;
            float& stored = Depth(x, y);
            if (st.depthCheck && depth > stored) continue;
            const float k = depth;
            float src[4];
            Shade(st, val[0] * k, val[1] * k, val[2] * k, val[3] * k, val[4] * k, val[5] * k, Clamp01(val[6] * k), src);
            if (st.alphaTest && src[3] < 0.5f) continue;
            Blend(Color(x, y), src, st.blendOp);
            if (st.depthWrite) stored = depth;
            ++pixelsFilled;
        }
    }
    return true;
}

void FrameBuffer::Splat(const RasterState& st, float cx, float cy, float area, const float* rgba) {
    if (!Usable(cx) || !Usable(cy) || !Usable(area)) return;
    float src[4] = {rgba[0], rgba[1], rgba[2], rgba[3]};
    float energy = area;
    if (st.texture != nullptr) {
        // The quad's texture shrinks to its mean: its hue tints the colour and
        // its coverage scales the energy spread over the pixels.
        const float* m = st.texture->mean;
        const float peak = std::max({m[0], m[1], m[2]});
        if (peak > 0)
            for (int i = 0; i < 3; ++i)
                src[i] *= m[i] / peak;
        energy *= m[3] * peak;
    }
    const float x = cx - 0.5f, y = cy - 0.5f;
    const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
    const float fx = x - ix, fy = y - iy;
    const float weights[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
    for (int i = 0; i < 4; ++i) {
        const int px = ix + (i & 1), py = iy + (i >> 1);
        if (px < 0 || py < 0 || px >= width_ || py >= height_) continue;
        const float weight = std::min(1.0f, weights[i] * energy);
        if (weight <= 0) continue;
        Blend(Color(px, py), src, st.blendOp, weight);
        ++pixelsFilled;
    }
}

void FrameBuffer::Line(float x0, float y0, float d0, float x1, float y1, float d1, const float* rgba) {
    for (float v : {x0, y0, d0, x1, y1, d1})
        if (!Usable(v)) return;
    const float dx = x1 - x0, dy = y1 - y0;
    const int steps = static_cast<int>(std::ceil(std::max(std::fabs(dx), std::fabs(dy))));
    if (steps > 4 * (width_ + height_)) return;
    for (int i = 0; i <= steps; ++i) {
        const float t = steps == 0 ? 0.0f : static_cast<float>(i) / steps;
        const int x = static_cast<int>(std::floor(x0 + dx * t)), y = static_cast<int>(std::floor(y0 + dy * t));
        if (x < 0 || y < 0 || x >= width_ || y >= height_) continue;
        const float depth = d0 + (d1 - d0) * t;
        if (depth > Depth(x, y)) continue;
        Blend(Color(x, y), rgba, kBlendSrcAlpha);
        ++pixelsFilled;
    }
}

} // namespace envhost
