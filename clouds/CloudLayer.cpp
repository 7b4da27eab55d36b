#include "clouds/CloudLayer.h"

namespace envsys {

void CloudLayer::Load(IniFile&) {}
void CloudLayer::Build(int32_t, float) {}
void CloudLayer::Draw() {}
void CloudLayer::Release() {}
} // namespace envsys
