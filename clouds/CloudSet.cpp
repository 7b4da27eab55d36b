#include "clouds/CloudSet.h"

namespace envsys {

void CloudSet::Load(IniFile&) {}
void CloudSet::Release() {}
} // namespace envsys
