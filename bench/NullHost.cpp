#include "bench/NullHost.h"

namespace envsys {
namespace bench {

float NullView::ScreenScale(float size) { return size; }

void NullView::ProjectDirection(float* out3, const float* direction3) {
    out3[0] = direction3[0];
    out3[1] = 1.0f;
    out3[2] = direction3[2];
}

int32_t NullView::IsPointVisible(const float*) { return 1; }

void NullGraphics::SetQuadMode(int32_t) {}
void NullGraphics::EndQuads() {}
void NullGraphics::SetQuadMaterial(MaterialRecord*) {}
void NullGraphics::BeginQuads(int32_t) {}
void NullGraphics::DrawQuads(int32_t count, const Vertex*) { quads += static_cast<uint64_t>(count); }

float NullRandom::Random(float upperBound) { return 0.25f * upperBound; }

} // namespace bench
} // namespace envsys
