#include "host/DrawList.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

namespace envhost {

int DrawList::AddState(const RasterState& state) {
    states_.push_back(state);
    return static_cast<int>(states_.size()) - 1;
}

bool DrawList::AddTriangle(const FrameBuffer& frame, int state, const RasterVertex& a, const RasterVertex& b,
                           const RasterVertex& c) {
    if (state < 0 || static_cast<size_t>(state) >= states_.size()) return false;
    TriangleSetup pieces[FrameBuffer::kMaxPieces];
    const int n = frame.SetUp(states_[state], a, b, c, pieces);
    for (int i = 0; i < n; ++i) {
        commands_.push_back(
            {Kind::kTriangle, state, static_cast<uint32_t>(triangles_.size()), pieces[i].top, pieces[i].bottom});
        triangles_.push_back(pieces[i]);
    }
    return n > 0;
}

void DrawList::AddSplat(int state, float cx, float cy, float area, const float* rgba) {
    if (state < 0 || static_cast<size_t>(state) >= states_.size() || !UsableCoordinate(cy)) return;
    // A splat touches the rows of the two pixel centres around cy.
    const int top = static_cast<int>(std::floor(cy - 0.5f));
    commands_.push_back({Kind::kSplat, state, static_cast<uint32_t>(splats_.size()), top, top + 1});
    splats_.push_back({cx, cy, area, {rgba[0], rgba[1], rgba[2], rgba[3]}});
}

void DrawList::AddLine(float x0, float y0, float d0, float x1, float y1, float d1, const float* rgba) {
    if (!UsableCoordinate(y0) || !UsableCoordinate(y1)) return;
    const int top = static_cast<int>(std::floor(std::min(y0, y1))) - 1;
    const int bottom = static_cast<int>(std::floor(std::max(y0, y1))) + 1;
    commands_.push_back({Kind::kLine, -1, static_cast<uint32_t>(lines_.size()), top, bottom});
    lines_.push_back({x0, y0, d0, x1, y1, d1, {rgba[0], rgba[1], rgba[2], rgba[3]}});
}

void DrawList::AddRowPass(RowPass pass) {
    commands_.push_back({Kind::kRowPass, -1, static_cast<uint32_t>(passes_.size()), std::numeric_limits<int>::min(),
                         std::numeric_limits<int>::max()});
    passes_.push_back(std::move(pass));
}

uint64_t DrawList::DrawBand(FrameBuffer& frame, int rowBegin, int rowEnd) {
    uint64_t filled = 0;
    for (const Command& c : commands_) {
        if (c.bottom < rowBegin || c.top >= rowEnd) continue;
        switch (c.kind) {
        case Kind::kTriangle:
            filled += frame.Fill(states_[c.state], triangles_[c.index], rowBegin, rowEnd);
            break;
        case Kind::kSplat: {
            const SplatData& s = splats_[c.index];
            filled += frame.Splat(states_[c.state], s.cx, s.cy, s.area, s.rgba, rowBegin, rowEnd);
            break;
        }
        case Kind::kLine: {
            const LineData& l = lines_[c.index];
            filled += frame.Line(l.x0, l.y0, l.d0, l.x1, l.y1, l.d1, l.rgba, rowBegin, rowEnd);
            break;
        }
        case Kind::kRowPass:
            filled += passes_[c.index](frame, rowBegin, rowEnd);
            break;
        }
    }
    return filled;
}

void DrawList::Execute(FrameBuffer& frame, RenderThreads& threads) {
    if (commands_.empty()) return;
    const int bands = (frame.Height() + kBandRows - 1) / kBandRows;
    std::atomic<uint64_t> filled{0};
    threads.Run(bands, [&](int band) {
        const int rowBegin = band * kBandRows;
        filled += DrawBand(frame, rowBegin, std::min(frame.Height(), rowBegin + kBandRows));
    });
    frame.pixelsFilled += filled.load();
    Clear();
}

void DrawList::Clear() {
    commands_.clear();
    states_.clear();
    triangles_.clear();
    splats_.clear();
    lines_.clear();
    passes_.clear();
}

} // namespace envhost
