#include "config/Material.h"

#include <cstring>

namespace envsys {

bool LoadMaterial(MaterialRecord* record, IniFile*, const char*) {
    if (record != nullptr) std::memset(record, 0, sizeof *record);
    return false;
}

} // namespace envsys
