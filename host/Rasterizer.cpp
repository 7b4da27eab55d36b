#include "host/Rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#if defined(__SSE2__)
#include <emmintrin.h>
#elif defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "envsys/Records.h"

namespace envhost {

using namespace envsys;

namespace {

constexpr int64_t kSubPixels = int64_t{1} << kSubPixelBits;
constexpr int64_t kHalfPixel = kSubPixels / 2;

// Pixels beyond each side of the frame within which triangles are filled
// as they are; parts farther out are clipped away first. The largest frame
// plus this margin, in sub-pixel steps, keeps every edge function product
// within 50 bits.
constexpr double kGuardBand = 32768.0;

// NaN counts as 0. With SSE a max and a min, so there is no branch to
// mispredict on dark or saturated colours.
inline float Clamp01(float x) {
#if defined(__SSE__)
    // maxss gives its second operand when the first is NaN.
    const __m128 y = _mm_max_ss(_mm_set_ss(x), _mm_setzero_ps());
    return _mm_cvtss_f32(_mm_min_ss(y, _mm_set_ss(1.0f)));
#else
    const float y = x > 0.0f ? x : 0.0f;
    return y < 1.0f ? y : 1.0f;
#endif
}

// Texel index along one axis for an integer position, by the stage's
// addressing: tiled, mirrored or clamped to the edge. Sample folds its
// coordinates near the texture first, so the remainders are rarely needed.
inline int Address(int i, int n, bool tile, bool mirror) {
    if (mirror) {
        const int period = 2 * n;
        if (i < 0 || i >= period) {
            i %= period;
            if (i < 0) i += period;
        }
        return i < n ? i : period - 1 - i;
    }
    if (tile) {
        if (i < 0 || i >= n) {
            i %= n;
            if (i < 0) i += n;
        }
        return i;
    }
    return i < 0 ? 0 : (i >= n ? n - 1 : i);
}

// std::floor for |x| < 2^31 without a library call; the result is the
// same whole number.
inline int FloorToInt(float x) {
    const int i = static_cast<int>(x);
    return x < static_cast<float>(i) ? i - 1 : i;
}

// Rounds toward minus infinity; b > 0.
int64_t FloorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

// A vertex during clipping: screen position, then r, g, b, a, u, v and fog
// each divided by depth, and 1 / depth. All of them are linear across the
// screen, so clipping in screen space keeps perspective correct.
struct ClipPoint {
    double c[10];
};

ClipPoint ToClipPoint(const RasterVertex& v) {
    const double w = v.invDepth;
    return {{v.sx, v.sy, v.r * w, v.g * w, v.b * w, v.a * w, v.u * w, v.v * w, v.fog * w, w}};
}

// Keeps the part of a convex polygon where the coordinate axis (0: x, 1: y)
// is on the kept side of limit. A crossing point is always computed from
// the kept end of the edge, so two polygons sharing an edge get the very
// same point.
int ClipAxis(const ClipPoint* in, int n, ClipPoint* out, int axis, double limit, bool keepBelow) {
    auto kept = [&](const ClipPoint& p) { return keepBelow ? p.c[axis] <= limit : p.c[axis] >= limit; };
    int count = 0;
    for (int i = 0; i < n; ++i) {
        const ClipPoint& p = in[i];
        const ClipPoint& q = in[(i + 1) % n];
        const bool pin = kept(p), qin = kept(q);
        if (pin) out[count++] = p;
        if (pin == qin) continue;
        const ClipPoint& a = pin ? p : q;
        const ClipPoint& b = pin ? q : p;
        const double t = (limit - a.c[axis]) / (b.c[axis] - a.c[axis]);
        ClipPoint& m = out[count++];
        for (int k = 0; k < 10; ++k)
            m.c[k] = a.c[k] + (b.c[k] - a.c[k]) * t;
        m.c[axis] = limit;
    }
    return count;
}

// Makes one snapped piece ready; false when it covers no pixel centre of
// the frame or is culled.
bool SetUpPiece(const RasterState& st, const ClipPoint* p0, const ClipPoint* p1, const ClipPoint* p2, int width,
                int height, TriangleSetup* t) {
    const ClipPoint* p[3] = {p0, p1, p2};
    int64_t x[3], y[3];
    for (int i = 0; i < 3; ++i) {
        x[i] = std::llrint(p[i]->c[0] * kSubPixels);
        y[i] = std::llrint(p[i]->c[1] * kSubPixels);
    }
    int64_t area = (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]);
    if (area == 0) return false;
    // With y down the screen, a positive area is a clockwise triangle.
    if (st.cullMode == kCullCounterClockwise && area < 0) return false;
    if (st.cullMode == kCullClockwise && area > 0) return false;
    if (area < 0) {
        std::swap(p[1], p[2]);
        std::swap(x[1], x[2]);
        std::swap(y[1], y[2]);
        area = -area;
    }
    const int64_t minX = std::min({x[0], x[1], x[2]}), maxX = std::max({x[0], x[1], x[2]});
    const int64_t minY = std::min({y[0], y[1], y[2]}), maxY = std::max({y[0], y[1], y[2]});
    // Pixel x has its centre at x * 256 + 128 sub-pixel steps.
    t->left = static_cast<int>(std::max<int64_t>(0, -FloorDiv(kHalfPixel - minX, kSubPixels)));
    t->right = static_cast<int>(std::min<int64_t>(width - 1, FloorDiv(maxX - kHalfPixel, kSubPixels)));
    t->top = static_cast<int>(std::max<int64_t>(0, -FloorDiv(kHalfPixel - minY, kSubPixels)));
    t->bottom = static_cast<int>(std::min<int64_t>(height - 1, FloorDiv(maxY - kHalfPixel, kSubPixels)));
    if (t->left > t->right || t->top > t->bottom) return false;
    for (int e = 0; e < 3; ++e) {
        const int a = (e + 1) % 3, b = (e + 2) % 3;
        const int64_t dx = x[b] - x[a], dy = y[b] - y[a];
        // Top-left rule: a centre exactly on an edge belongs to the
        // triangle whose top or left edge it is; elsewhere the edge
        // function must be strictly positive, which for integers is >= 1.
        const bool owns = dy < 0 || (dy == 0 && dx > 0);
        t->edgeStepY[e] = dx;
        t->edgeStepX[e] = dy * kSubPixels;
        t->edgeBase[e] = -dx * y[a] - dy * (kHalfPixel - x[a]) - (owns ? 0 : 1);
        t->x[e] = x[e];
        t->y[e] = y[e];
    }
    // Attribute planes over the snapped positions, in pixels from vertex 0.
    const double ex1 = static_cast<double>(x[1] - x[0]) / kSubPixels,
                 ey1 = static_cast<double>(y[1] - y[0]) / kSubPixels;
    const double ex2 = static_cast<double>(x[2] - x[0]) / kSubPixels,
                 ey2 = static_cast<double>(y[2] - y[0]) / kSubPixels;
    const double inv = 1.0 / (ex1 * ey2 - ex2 * ey1);
    t->originX = static_cast<double>(x[0]) / kSubPixels;
    t->originY = static_cast<double>(y[0]) / kSubPixels;
    t->fogged = false;
    for (int k = 0; k < 8; ++k) {
        const double f0 = p[0]->c[k + 2], d1 = p[1]->c[k + 2] - f0, d2 = p[2]->c[k + 2] - f0;
        t->base[k] = f0;
        t->dx[k] = (d1 * ey2 - d2 * ey1) * inv;
        t->dy[k] = (d2 * ex1 - d1 * ex2) * inv;
    }
    for (int i = 0; i < 3; ++i)
        t->fogged = t->fogged || p[i]->c[8] > 0;
    return true;
}

// Three colour channels (and a spare) in one register where there is SSE:
// the blend formulas are written once and work on all channels at a time,
// lane by lane with the same float operations as one channel at a time.
struct Px {
#if defined(__SSE__)
    __m128 m;
#else
    float v[4];
#endif
};

#if defined(__SSE__)
inline Px Splat(float x) { return {_mm_set1_ps(x)}; }
inline Px Load3(const float* p) { return {_mm_setr_ps(p[0], p[1], p[2], 0.0f)}; }
inline void Store3(Px x, float* p) {
    float out[4];
    _mm_storeu_ps(out, x.m);
    p[0] = out[0], p[1] = out[1], p[2] = out[2];
}
inline Px operator+(Px a, Px b) { return {_mm_add_ps(a.m, b.m)}; }
inline Px operator-(Px a, Px b) { return {_mm_sub_ps(a.m, b.m)}; }
inline Px operator*(Px a, Px b) { return {_mm_mul_ps(a.m, b.m)}; }
// NaN becomes 0, as in Clamp01.
inline Px Clamp01(Px x) { return {_mm_min_ps(_mm_max_ps(x.m, _mm_setzero_ps()), _mm_set1_ps(1.0f))}; }
#else
inline Px Splat(float x) { return {{x, x, x, x}}; }
inline Px Load3(const float* p) { return {{p[0], p[1], p[2], 0.0f}}; }
inline void Store3(Px x, float* p) { p[0] = x.v[0], p[1] = x.v[1], p[2] = x.v[2]; }
template <class F>
inline Px Lanes(Px a, Px b, F f) {
    return {{f(a.v[0], b.v[0]), f(a.v[1], b.v[1]), f(a.v[2], b.v[2]), 0.0f}};
}
inline Px operator+(Px a, Px b) {
    return Lanes(a, b, [](float x, float y) { return x + y; });
}
inline Px operator-(Px a, Px b) {
    return Lanes(a, b, [](float x, float y) { return x - y; });
}
inline Px operator*(Px a, Px b) {
    return Lanes(a, b, [](float x, float y) { return x * y; });
}
inline Px Clamp01(Px x) { return {{Clamp01(x.v[0]), Clamp01(x.v[1]), Clamp01(x.v[2]), 0.0f}}; }
#endif

// Blend operations of a material, as this host reads them. The frame has no
// alpha of its own, so a destination alpha counts as 1.
inline void BlendPixel(float* dst, const float* src, uint16_t op, float weight) {
    const Px d = Load3(dst), x = Load3(src), a = Splat(Clamp01(src[3])), one = Splat(1.0f);
    Px r;
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
        r = Splat(2.0f) * d * x;
        break;
    case kBlendModulateInvSrc:
        r = d * (one - x);
        break;
    case kBlendModulateInvDst:
        r = x * (one - d);
        break;
    case kBlendSrcAlpha:
        r = x * a + d * (one - a);
        break;
    case kBlendInvSrcAlpha:
        r = x * (one - a) + d * a;
        break;
    case kBlendInvDstAlpha:
        r = d;
        break;
    case kBlendSrcAlphaAddDst:
        r = x * a + d;
        break;
    case kBlendInvSrcAlphaAddSrc:
        r = x + d * (one - a);
        break;
    default: // ZERO, ONE, DST_ALPHA: the source replaces what was there
        r = x;
        break;
    }
    r = Clamp01(r);
    if (weight != 1.0f) r = d + (r - d) * Splat(weight);
    Store3(r, dst);
}

// Addressing modes of a texture stage, read from its flags once.
struct Addressing {
    bool tileU, tileV, mirrorU, mirrorV;
    explicit Addressing(uint32_t flags)
        : tileU((flags & kStageTileU) != 0), tileV((flags & kStageTileV) != 0), mirrorU((flags & kStageMirrorU) != 0),
          mirrorV((flags & kStageMirrorV) != 0) {}
};

// The bilinear sample of Texture::Sample, inline so that the fill loop
// does without a call per pixel.
inline void SampleBilinear(const Texture& t, float u, float v, const Addressing& m, float* out) {
    const int width = t.width, height = t.height;
    if (width <= 0 || height <= 0 || !std::isfinite(u) || !std::isfinite(v)) {
        out[0] = out[1] = out[2] = out[3] = 1.0f;
        return;
    }
    // Far outside the texture every addressing mode repeats or clamps, so
    // the coordinate can be folded into a small range first (0..2 is one
    // already).
    if ((m.tileU || m.mirrorU) && !(u >= 0.0f && u < 2.0f)) u -= 2.0f * std::floor(u * 0.5f);
    if ((m.tileV || m.mirrorV) && !(v >= 0.0f && v < 2.0f)) v -= 2.0f * std::floor(v * 0.5f);
    u = std::max(-4.0f, std::min(4.0f, u));
    v = std::max(-4.0f, std::min(4.0f, v));
    const float x = u * width - 0.5f, y = v * height - 0.5f;
    const int x0 = FloorToInt(x), y0 = FloorToInt(y);
    const float fx = x - static_cast<float>(x0), fy = y - static_cast<float>(y0);
    const int xa = Address(x0, width, m.tileU, m.mirrorU), xb = Address(x0 + 1, width, m.tileU, m.mirrorU);
    const int ya = Address(y0, height, m.tileV, m.mirrorV), yb = Address(y0 + 1, height, m.tileV, m.mirrorV);
    const float* texels = t.texels.data();
    const float* p00 = &texels[(static_cast<size_t>(ya) * width + xa) * 4];
    const float* p10 = &texels[(static_cast<size_t>(ya) * width + xb) * 4];
    const float* p01 = &texels[(static_cast<size_t>(yb) * width + xa) * 4];
    const float* p11 = &texels[(static_cast<size_t>(yb) * width + xb) * 4];
#if defined(__SSE__)
    // All four channels at once, with the same operations as below.
    const __m128 a = _mm_loadu_ps(p00), b = _mm_loadu_ps(p10), c = _mm_loadu_ps(p01), d = _mm_loadu_ps(p11);
    const __m128 wx = _mm_set1_ps(fx);
    const __m128 top = _mm_add_ps(a, _mm_mul_ps(_mm_sub_ps(b, a), wx));
    const __m128 bottom = _mm_add_ps(c, _mm_mul_ps(_mm_sub_ps(d, c), wx));
    _mm_storeu_ps(out, _mm_add_ps(top, _mm_mul_ps(_mm_sub_ps(bottom, top), _mm_set1_ps(fy))));
#else
    for (int c = 0; c < 4; ++c) {
        const float top = p00[c] + (p10[c] - p00[c]) * fx;
        const float bottom = p01[c] + (p11[c] - p01[c]) * fx;
        out[c] = top + (bottom - top) * fy;
    }
#endif
}

// The texture stage and the fog: the source colour of one pixel.
inline void Shade(const RasterState& st, const Addressing& addressing, float* c, float u, float v, float fog) {
    if (st.texture != nullptr) {
        float t[4];
        SampleBilinear(*st.texture, u, v, addressing, t);
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
}

} // namespace

bool UsableCoordinate(float x) { return std::isfinite(x) && std::fabs(x) < 1e8f; }

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
    SampleBilinear(*this, u, v, Addressing(flags), out);
}

void FrameBuffer::Resize(int width, int height) {
    width_ = std::max(1, width);
    height_ = std::max(1, height);
    color_.assign(static_cast<size_t>(width_) * height_ * 3, 0.0f);
    depth_.assign(static_cast<size_t>(width_) * height_, std::numeric_limits<float>::infinity());
}

void FrameBuffer::ClearRows(const float* rgb, int rowBegin, int rowEnd) {
    rowBegin = std::max(0, rowBegin);
    rowEnd = std::min(height_, rowEnd);
    if (rowBegin >= rowEnd) return;
    const size_t begin = static_cast<size_t>(rowBegin) * width_, end = static_cast<size_t>(rowEnd) * width_;
    for (size_t i = begin; i < end; ++i) {
        color_[i * 3] = rgb[0];
        color_[i * 3 + 1] = rgb[1];
        color_[i * 3 + 2] = rgb[2];
    }
    std::fill(depth_.begin() + begin, depth_.begin() + end, std::numeric_limits<float>::infinity());
}

PngImage FrameBuffer::ToImage() const {
    PngImage image(width_, height_);
    ToImageRows(&image, 0, height_);
    return image;
}

void FrameBuffer::ToImageRows(PngImage* image, int rowBegin, int rowEnd) const {
    rowBegin = std::max(0, rowBegin);
    rowEnd = std::min({height_, rowEnd, image->height});
    if (image->width != width_) return;
    size_t i = static_cast<size_t>(rowBegin) * width_;
    const size_t n = static_cast<size_t>(rowEnd) * width_;
#if defined(__SSE2__)
    // A pixel at a time in one register; a load reads one float past the
    // pixel, so the frame's very last pixel is left to the loop below.
    const size_t last = static_cast<size_t>(width_) * height_ - 1;
    const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f), scale = _mm_set1_ps(255.0f);
    const __m128 half = _mm_set1_ps(0.5f);
    for (; i < n && i < last; ++i) {
        // max first: NaN becomes 0, as in Clamp01.
        const __m128 c = _mm_min_ps(_mm_max_ps(_mm_loadu_ps(&color_[i * 3]), zero), one);
        const __m128i q = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(c, scale), half));
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(q, q), _mm_setzero_si128());
        const uint32_t rgba = static_cast<uint32_t>(_mm_cvtsi128_si32(bytes)) | 0xff000000u;
        std::memcpy(&image->rgba[i * 4], &rgba, 4);
    }
#endif
    for (; i < n; ++i) {
        for (int c = 0; c < 3; ++c)
            // Not negative, so a half added and cut off rounds to the nearest.
            // NOLINTNEXTLINE(bugprone-incorrect-roundings)
            image->rgba[i * 4 + c] = static_cast<uint8_t>(Clamp01(color_[i * 3 + c]) * 255.0f + 0.5f);
        image->rgba[i * 4 + 3] = 255;
    }
}

void FrameBuffer::Blend(float* dst, const float* s, uint16_t op, float weight) { BlendPixel(dst, s, op, weight); }

int FrameBuffer::SetUp(const RasterState& st, const RasterVertex& v0, const RasterVertex& v1, const RasterVertex& v2,
                       TriangleSetup* out) const {
    for (const RasterVertex* v : {&v0, &v1, &v2})
        if (!UsableCoordinate(v->sx) || !UsableCoordinate(v->sy) || !UsableCoordinate(v->invDepth)) return 0;
    // A triangle and its clipped polygon: at most one more vertex per side.
    ClipPoint a[7], b[7];
    a[0] = ToClipPoint(v0), a[1] = ToClipPoint(v1), a[2] = ToClipPoint(v2);
    int n = 3;
    const double lo = -kGuardBand, right = width_ + kGuardBand, bottom = height_ + kGuardBand;
    bool inside = true;
    for (int i = 0; i < 3; ++i)
        inside = inside && a[i].c[0] >= lo && a[i].c[0] <= right && a[i].c[1] >= lo && a[i].c[1] <= bottom;
    if (!inside) {
        n = ClipAxis(a, n, b, 0, lo, false);
        n = ClipAxis(b, n, a, 0, right, true);
        n = ClipAxis(a, n, b, 1, lo, false);
        n = ClipAxis(b, n, a, 1, bottom, true);
    }
    int count = 0;
    for (int k = 1; k + 1 < n; ++k)
        if (SetUpPiece(st, &a[0], &a[k], &a[k + 1], width_, height_, &out[count])) ++count;
    return count;
}

uint64_t FrameBuffer::Fill(const RasterState& st, const TriangleSetup& t, int rowBegin, int rowEnd) {
    const int yBegin = std::max(t.top, rowBegin), yEnd = std::min(t.bottom + 1, rowEnd);
    const bool textured = st.texture != nullptr;
    const Addressing addressing(st.stageFlags);
    uint64_t filled = 0;
    for (int y = yBegin; y < yEnd; ++y) {
        // The exact span of covered centres on this row, from each edge.
        const int64_t centreY = y * kSubPixels + kHalfPixel;
        int64_t left = t.left, right = t.right;
        for (int e = 0; e < 3; ++e) {
            const int64_t k = t.edgeBase[e] + t.edgeStepY[e] * centreY, s = t.edgeStepX[e];
            if (s > 0) {
                right = std::min(right, FloorDiv(k, s));
            } else if (s < 0) {
                left = std::max(left, -FloorDiv(k, -s));
            } else if (k < 0) {
                left = right + 1;
            }
        }
        if (left > right) continue;
        const int xl = static_cast<int>(left), xr = static_cast<int>(right);
        // The planes at the span's first centre, then one step per pixel.
        const double px = xl + 0.5 - t.originX, py = y + 0.5 - t.originY;
        float row[8], step[8];
        for (int k = 0; k < 8; ++k) {
            row[k] = static_cast<float>(t.base[k] + t.dx[k] * px + t.dy[k] * py);
            step[k] = static_cast<float>(t.dx[k]);
        }
        float* color = Color(0, y);
        float* depthRow = &Depth(0, y);
        for (int x = xl; x <= xr; ++x) {
            const float i = static_cast<float>(x - xl);
            const float invDepth = row[7] + step[7] * i;
            if (!(invDepth > 0)) continue;
            const float depth = 1.0f / invDepth;
            float& stored = depthRow[x];
            if (st.depthCheck && depth > stored) continue;
            float src[4];
            for (int k = 0; k < 4; ++k)
                src[k] = (row[k] + step[k] * i) * depth;
            float u = 0, v = 0, fog = 0;
            if (textured) {
                u = (row[4] + step[4] * i) * depth;
                v = (row[5] + step[5] * i) * depth;
            }
            if (t.fogged) fog = Clamp01((row[6] + step[6] * i) * depth);
            Shade(st, addressing, src, u, v, fog);
            if (st.alphaTest && src[3] < 0.5f) continue;
            BlendPixel(color + 3 * x, src, st.blendOp, 1.0f);
            if (st.depthWrite) stored = depth;
            ++filled;
        }
    }
    return filled;
}

bool FrameBuffer::FillTriangle(const RasterState& st, const RasterVertex& a, const RasterVertex& b,
                               const RasterVertex& c) {
    TriangleSetup pieces[kMaxPieces];
    const int n = SetUp(st, a, b, c, pieces);
    for (int i = 0; i < n; ++i)
        pixelsFilled += Fill(st, pieces[i], 0, height_);
    return n > 0;
}

uint64_t FrameBuffer::Splat(const RasterState& st, float cx, float cy, float area, const float* rgba, int rowBegin,
                            int rowEnd) {
    if (!UsableCoordinate(cx) || !UsableCoordinate(cy) || !UsableCoordinate(area)) return 0;
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
    uint64_t filled = 0;
    for (int i = 0; i < 4; ++i) {
        const int px = ix + (i & 1), py = iy + (i >> 1);
        if (px < 0 || py < std::max(0, rowBegin) || px >= width_ || py >= std::min(height_, rowEnd)) continue;
        const float weight = std::min(1.0f, weights[i] * energy);
        if (weight <= 0) continue;
        BlendPixel(Color(px, py), src, st.blendOp, weight);
        ++filled;
    }
    return filled;
}

uint64_t FrameBuffer::Line(float x0, float y0, float d0, float x1, float y1, float d1, const float* rgba, int rowBegin,
                           int rowEnd) {
    for (float v : {x0, y0, d0, x1, y1, d1})
        if (!UsableCoordinate(v)) return 0;
    const float dx = x1 - x0, dy = y1 - y0;
    const int steps = static_cast<int>(std::ceil(std::max(std::fabs(dx), std::fabs(dy))));
    if (steps > 4 * (width_ + height_)) return 0;
    rowBegin = std::max(0, rowBegin);
    rowEnd = std::min(height_, rowEnd);
    uint64_t filled = 0;
    for (int i = 0; i <= steps; ++i) {
        const float t = steps == 0 ? 0.0f : static_cast<float>(i) / steps;
        const int x = static_cast<int>(std::floor(x0 + dx * t)), y = static_cast<int>(std::floor(y0 + dy * t));
        if (x < 0 || y < rowBegin || x >= width_ || y >= rowEnd) continue;
        const float depth = d0 + (d1 - d0) * t;
        if (depth > Depth(x, y)) continue;
        BlendPixel(Color(x, y), rgba, kBlendSrcAlpha, 1.0f);
        ++filled;
    }
    return filled;
}

} // namespace envhost
