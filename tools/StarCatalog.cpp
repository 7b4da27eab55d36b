#include "tools/StarCatalog.h"

#include <cctype>
#include <cmath>
#include <cstring>

#include "config/NumberText.h"
#include "config/StdStringUtils.h"

namespace envtools {

namespace {

bool ParseFloat(const std::string& field, float* out) {
    if (field.empty()) return false;
    char* end = nullptr;
    const double value = envsys::RuntimeStrtod(field.c_str(), &end);
    if (end == field.c_str() || *end != '\0' || !std::isfinite(value)) return false;
    *out = static_cast<float>(value);
    return true;
}

void PutU32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void PutFloat(std::string& out, float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    PutU32(out, bits);
}

uint32_t GetU32(const std::string& in, size_t at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<uint32_t>(static_cast<unsigned char>(in[at + i])) << (8 * i);
    return v;
}

float GetFloat(const std::string& in, size_t at) {
    const uint32_t bits = GetU32(in, at);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

} // namespace

StarCatalog ParseStarCsv(const std::string& text) {
    StarCatalog catalog;
    size_t pos = 0;
    int lineNumber = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        const std::string line = envsys::TrimmedText(text.substr(pos, end - pos));
        pos = end + 1;
        ++lineNumber;
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields = envsys::SplitText(line, ',');
        for (std::string& field : fields)
            field = envsys::TrimmedText(field);
        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        float first;
        if (catalog.stars.empty() && catalog.errors.empty() && lineNumber == 1 && !ParseFloat(fields[0], &first))
            continue; // a header
        if (fields.size() != 4) {
            catalog.errors.push_back(where + "expected 4 fields, found " + std::to_string(fields.size()));
            continue;
        }
        StarEntry star;
        if (!ParseFloat(fields[0], &star.rightAscension) || !ParseFloat(fields[1], &star.declination) ||
            !ParseFloat(fields[2], &star.magnitude)) {
            catalog.errors.push_back(where + "right ascension, declination and magnitude must be numbers");
            continue;
        }
        if (star.rightAscension < 0 || star.rightAscension >= 360) {
            catalog.errors.push_back(where + "right ascension outside 0 up to 360 degrees");
            continue;
        }
        if (star.declination < -90 || star.declination > 90) {
            catalog.errors.push_back(where + "declination outside -90..90 degrees");
            continue;
        }
        if (fields[3].size() != 1 || !std::isalpha(static_cast<unsigned char>(fields[3][0]))) {
            catalog.errors.push_back(where + "spectral class must be one letter");
            continue;
        }
        star.spectralClass = static_cast<char>(std::toupper(static_cast<unsigned char>(fields[3][0])));
        if (std::strchr("OBAFGKM", star.spectralClass) == nullptr)
            catalog.warnings.push_back(where + "class " + std::string(1, star.spectralClass) +
                                       " is not one of O B A F G K M; the plug-in colours it as O");
        catalog.stars.push_back(star);
    }
    return catalog;
}

std::string EncodeStarData(const std::vector<StarEntry>& stars) {
    std::string out;
    out.reserve(4 + stars.size() * 16);
    PutU32(out, static_cast<uint32_t>(stars.size()));
    for (const StarEntry& s : stars) {
        PutFloat(out, s.rightAscension);
        PutFloat(out, s.declination);
        PutFloat(out, s.magnitude);
        out.push_back(s.spectralClass);
        out.append(3, '\0');
    }
    return out;
}

bool DecodeStarData(const std::string& bytes, std::vector<StarEntry>* stars) {
    stars->clear();
    if (bytes.size() < 4) return false;
    const int32_t count = static_cast<int32_t>(GetU32(bytes, 0));
    if (count < 0 || (bytes.size() - 4) / 16 < static_cast<size_t>(count)) return false;
    for (int32_t i = 0; i < count; ++i) {
        const size_t at = 4 + static_cast<size_t>(i) * 16;
        stars->push_back(
            StarEntry{GetFloat(bytes, at), GetFloat(bytes, at + 4), GetFloat(bytes, at + 8), bytes[at + 12]});
    }
    return true;
}

} // namespace envtools
