#include "clouds/ReflectionMaps.h"

namespace envsys {

void ReflectionMaps::Load(IniFile&) {}
void ReflectionMaps::Update() {}
void ReflectionMaps::Release() {}
} // namespace envsys
