// A generated configuration document for benchmarks: sections of typed keys
// (integers, floats, colours, texts) with ";" comment lines, blank lines and
// CRLF line endings, plus the list of its keys in file order so a reader can
// fetch each once with the matching getter. Deterministic for a given seed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace envsys {
namespace bench {

enum class ValueType { Integer, Float, Color, Text };

struct GeneratedKey {
    std::string section;
    std::string key;
    ValueType type;
};

struct GeneratedDocument {
    std::string text;
    std::vector<GeneratedKey> keys; // in file order
};

// 150 sections of 20 keys give about 200 KiB.
inline GeneratedDocument GenerateConfigDocument(int sectionCount = 150, int keysPerSection = 20, uint32_t seed = 1) {
    uint32_t state = seed;
    auto next = [&state](uint32_t bound) {
        state = state * 1664525u + 1013904223u; // a full-period linear congruential step
        return (state >> 8) % bound;
    };
    const char* const typeNames[] = {"Count", "Scale", "Color", "Texture"};
    GeneratedDocument doc;
    doc.keys.reserve(static_cast<size_t>(sectionCount * keysPerSection));
    char line[160];
    for (int s = 0; s < sectionCount; ++s) {
        const std::string section = "EnvironmentSection" + std::to_string(s);
        doc.text += "; settings of " + section + ", generated for the benchmark\r\n";
        doc.text += "[" + section + "]\r\n";
        for (int k = 0; k < keysPerSection; ++k) {
            if (k % 2 == 0)
                doc.text += "; the next keys describe group " + std::to_string(k / 2) + " of this section (typed)\r\n";
            const auto type = static_cast<ValueType>(next(4));
            const std::string key = std::string(typeNames[static_cast<int>(type)]) + "Setting" + std::to_string(k);
            switch (type) {
            case ValueType::Integer:
                std::snprintf(line, sizeof line, "%s = %u\r\n", key.c_str(), next(100000));
                break;
            case ValueType::Float:
                std::snprintf(line, sizeof line, "%s = %.6f\r\n", key.c_str(), next(1000000) / 1000.0);
                break;
            case ValueType::Color:
                std::snprintf(line, sizeof line, "%s = %.2f,%.2f,%.2f\r\n", key.c_str(), next(101) / 100.0,
                              next(101) / 100.0, next(101) / 100.0);
                break;
            case ValueType::Text:
                std::snprintf(line, sizeof line, "%s = textures\\sky\\layer_%03u_variant.tga\r\n", key.c_str(),
                              next(1000));
                break;
            }
            doc.text += line;
            doc.keys.push_back(GeneratedKey{section, key, type});
        }
        doc.text += "\r\n";
    }
    return doc;
}

} // namespace bench
} // namespace envsys
