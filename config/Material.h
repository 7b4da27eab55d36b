// Material definitions: a section of a configuration file read into the
// fixed 896-byte record that also crosses to the host's graphics service.
#pragma once

#include <cstdint>

#include "envsys/Records.h"

namespace envsys {

class IniFile;

// The words of the material name tables, each at the index it is stored as.
constexpr int kCullModeCount = 3;
constexpr int kBlendOpCount = 15;
constexpr int kStageOpCount = 14;
extern const char* const kCullModeNames[kCullModeCount];
extern const char* const kBlendOpNames[kBlendOpCount];
extern const char* const kStageOpNames[kStageOpCount];

// True when the section exists and the record was filled; false with the
// record all zero when it is missing.
bool LoadMaterial(MaterialRecord* record, IniFile* file, const char* section);

} // namespace envsys
