// Shared by the sky tests: small helpers for the frame state and star data
// files.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "testing/TestHost.h"

namespace envsys {
namespace testing {

inline void Set3(float* out, float a, float b, float c) {
    out[0] = a;
    out[1] = b;
    out[2] = c;
}

inline void PutLittleEndian(std::string& out, uint32_t bits) {
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((bits >> (8 * i)) & 0xFF);
}

// A star data file: the count, then for each star RA, dec, magnitude and class
// in 16 little-endian bytes (star i at RA 10 i + 0.5, dec i - 20, magnitude 1 + i / 4).
inline std::string StarFile(int32_t count, const std::string& classes) {
    std::string out;
    PutLittleEndian(out, static_cast<uint32_t>(count));
    for (size_t i = 0; i < classes.size(); ++i) {
        for (float value : {10.0f * static_cast<float>(i) + 0.5f, -20.0f + static_cast<float>(i),
                            1.0f + 0.25f * static_cast<float>(i)}) {
            uint32_t bits;
            std::memcpy(&bits, &value, sizeof bits);
            PutLittleEndian(out, bits);
        }
        out += classes[i];
        out += "xyz";
    }
    return out;
}

} // namespace testing
} // namespace envsys
