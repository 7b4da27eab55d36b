#include "sky/StarField.h"

namespace envsys {

void StarField::Load(IniFile&) {}
void StarField::UpdateAll() {}
void StarField::Update(float) {}
void StarField::Draw() {}
void StarField::Release() {}
} // namespace envsys
