// The renderer's drawing, recorded in order and drawn later band by band.
// A frame's triangles, splats, streaks and whole-row passes (the clear, the
// ground) are kept with their states; Execute splits the frame into bands
// of rows that the render threads take one at a time, and every band runs
// the whole list in order over its own rows. Each pixel therefore sees the
// same operations in the same order whatever the thread count, and the
// picture is the same byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "host/Rasterizer.h"
#include "host/RenderThreads.h"

namespace envhost {

class DrawList {
public:
    // Work over whole rows [rowBegin, rowEnd); returns the pixels written.
    using RowPass = std::function<uint64_t(FrameBuffer& frame, int rowBegin, int rowEnd)>;

    // A state for the primitives that follow; returns its number, good
    // until the list is drawn or cleared.
    int AddState(const RasterState& state);
    // Returns false when the triangle is culled or covers no pixel.
    bool AddTriangle(const FrameBuffer& frame, int state, const RasterVertex& a, const RasterVertex& b,
                     const RasterVertex& c);
    void AddSplat(int state, float cx, float cy, float area, const float* rgba);
    void AddLine(float x0, float y0, float d0, float x1, float y1, float d1, const float* rgba);
    void AddRowPass(RowPass pass);

    size_t Size() const { return commands_.size(); }
    // Draws everything into the frame and empties the list.
    void Execute(FrameBuffer& frame, RenderThreads& threads);
    // Forgets everything recorded.
    void Clear();

    // Rows a band holds: small enough that two threads share a frame's
    // rows evenly, large enough that walking the list per band is cheap.
    static constexpr int kBandRows = 8;

private:
    enum class Kind : uint8_t { kTriangle, kSplat, kLine, kRowPass };
    struct Command {
        Kind kind;
        int state;
        uint32_t index;
        int top, bottom; // rows the command may touch, inclusive
    };
    struct SplatData {
        float cx, cy, area, rgba[4];
    };
    struct LineData {
        float x0, y0, d0, x1, y1, d1, rgba[4];
    };
    uint64_t DrawBand(FrameBuffer& frame, int rowBegin, int rowEnd);

    std::vector<Command> commands_;
    std::vector<RasterState> states_;
    std::vector<TriangleSetup> triangles_;
    std::vector<SplatData> splats_;
    std::vector<LineData> lines_;
    std::vector<RowPass> passes_;
};

} // namespace envhost
