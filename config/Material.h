// Material definitions: a section of a configuration file read into the
// fixed 896-byte record that also crosses to the host's graphics service.
#pragma once

#include <cstdint>

#include "envsys/Records.h"

namespace envsys {

class IniFile;

// True when the section exists and the record was filled; false with the
// record all zero when it is missing.
bool LoadMaterial(MaterialRecord* record, IniFile* file, const char* section);

} // namespace envsys
