// One fuzz input run through the configuration library: shared by the
// libFuzzer target (fuzz/) and the corpus test, which replays the seeds.
#pragma once

#include <cstddef>
#include <cstdint>

namespace envsys {
namespace fuzzing {

// Input layout: the first byte chooses the options (bit 0 record-defaults
// mode, bits 1..7 a failing allocation), the rest is split at the byte pair
// 0x01 0x01 into up to three files, "a.ini", "b.ini" and "c.ini". The first
// is opened as the document; the others can be included. Every section and
// key is then read through every getter and as a material. Returns 0; a
// fault shows as a crash, a sanitizer report or a leaked block (abort).
int RunConfigInput(const uint8_t* data, size_t size);

} // namespace fuzzing
} // namespace envsys
