#include "clouds/Wind.h"

namespace envsys {

void Wind::Load(IniFile&) {}
void Wind::Update(float) {}
void Wind::SetWind(float, float, float) {}
float Wind::GetWindDirection() const { return 0.0f; }
float* Wind::GetWindVector(float* out3) const {
    if (out3 != nullptr) out3[0] = out3[1] = out3[2] = 0.0f;
    return out3;
}
void Wind::Release() {}
} // namespace envsys
