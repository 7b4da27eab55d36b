// The rule for the comma-separated numbers of a value, written out plainly:
// the text as a 260-byte name buffer keeps it (at most 259 bytes), split at
// every comma, each part read with the runtime's strtod and narrowed to a float; colour
// parts clamped to 0..1. The getter tests and the configuration fuzz entry
// check GetColorAlpha and GetVector against it.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config/NumberText.h"

namespace envsys {
namespace testing {

struct ListReading {
    int32_t colorFound; // what GetColorAlpha returns
    float color[4];     // the colour after GetColorAlpha, from a start colour
    float vector[3];    // what GetVector gives
};

inline float ClampColorPart(float v) {
    if (!(v > 0.0f)) return 0.0f;
    return v >= 1.0f ? 1.0f : v;
}

inline ListReading ReadListByRule(const char* value, float startColor) {
    const std::string copy(value, strnlen(value, 259));
    float parts[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    int commas = 0;
    for (size_t start = 0;; ++commas) {
        const size_t comma = copy.find(',', start);
        const std::string part = copy.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (commas < 4) parts[commas] = static_cast<float>(RuntimeStrtod(part.c_str(), nullptr));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    ListReading r;
    r.colorFound = commas >= 2 ? 1 : 0;
    for (int i = 0; i < 4; ++i)
        r.color[i] = startColor;
    if (commas >= 2) {
        for (int i = 0; i < 3; ++i)
            r.color[i] = ClampColorPart(parts[i]);
        r.color[3] = commas >= 3 ? ClampColorPart(parts[3]) : 1.0f;
    }
    r.vector[0] = commas >= 1 ? parts[0] : 0.0f;
    r.vector[1] = commas >= 1 ? parts[1] : 0.0f;
    r.vector[2] = commas >= 2 ? parts[2] : 0.0f;
    return r;
}

// Equal bits, or both NaN.
inline bool SameFloat(float a, float b) { return std::isnan(a) ? std::isnan(b) : std::memcmp(&a, &b, sizeof a) == 0; }

} // namespace testing
} // namespace envsys
