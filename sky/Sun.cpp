#include "sky/Sun.h"

namespace envsys {

void Sun::Load(IniFile&) {}
void Sun::ResetQuadBlock() {}
void Sun::SetDirection(const CelestialFrame&) {}
float* Sun::GetSunDirection(float* out3) const {
    if (out3 != nullptr) {
        out3[0] = direction[0];
        out3[1] = direction[1];
        out3[2] = direction[2];
    }
    return out3;
}
HostLight* Sun::GetSunLight() const { return nullptr; }
void Sun::UpdateLight() {}
void Sun::Draw(float) {}
void Sun::DrawLensFlares(float) {}
void Sun::Release() {}
} // namespace envsys
