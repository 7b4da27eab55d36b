#include "sky/SkyDome.h"

namespace envsys {

void SkyDome::Load(IniFile&) {}
void SkyDome::BuildHorizonBand(int32_t) {}
void SkyDome::UpdateColors() {}
void SkyDome::DrawUpper() {}
void SkyDome::DrawLower() {}
void SkyDome::Release() {}
} // namespace envsys
