// Reference checks: the material sections, texture files and star data file
// that the settings name, looked for as the system will look for them.
#include "tools/envcheck/EnvChecker.h"

#include <algorithm>
#include <cstring>

#include "config/IniFile.h"
#include "config/StringUtils.h"
#include "tools/envcheck/CheckText.h"

namespace envcheck {

void EnvChecker::CheckTextures(const ScannedKey* key, const std::string& owner,
                               const std::vector<std::vector<int>>& args, int nameLimit) {
    if (key == nullptr || key->value.empty() || args.empty()) return;
    std::vector<std::string> missing;
    bool cut = false;
    for (const std::vector<int>& a : args) {
        std::string name;
        if (!FormatName(key->value, a, &name)) return;
        if (static_cast<int>(name.size()) > nameLimit) {
            name.resize(static_cast<size_t>(nameLimit));
            cut = true;
        }
        if (std::find(missing.begin(), missing.end(), name) != missing.end()) continue;
        if (options_.checkFiles && files_.Exists(name.c_str(), 0) == 0) missing.push_back(name);
    }
    if (cut)
        Add(key->at, Severity::Warning,
            "texture names longer than " + std::to_string(nameLimit) + " characters are cut" +
                KeyTag(owner, key->name));
    if (missing.empty()) return;
    std::string list;
    for (size_t i = 0; i < missing.size() && i < 4; ++i)
        list += (i > 0 ? ", " : "") + missing[i];
    if (missing.size() > 4) list += " and " + std::to_string(missing.size() - 4) + " more";
    Add(key->at, Severity::Error,
        std::to_string(missing.size()) + " texture file" + (missing.size() == 1 ? "" : "s") + " not found: " + list +
            KeyTag(owner, key->name));
}

void EnvChecker::CheckStarFile(const ScannedKey& key) {
    const std::string tag = KeyTag("Stars", key.name);
    char path[envsys::kNameBufferSize];
    envsys::fmgCheckFilePath(".\\", key.value.c_str(), path, sizeof path);
    if (files_.Exists(path, 0) == 0) {
        Add(key.at, Severity::Error, Quoted(path) + " not found: the sky has no stars" + tag);
        return;
    }
    const int32_t handle = files_.Open(path, 0);
    if (handle == -1) {
        Add(key.at, Severity::Error, Quoted(path) + " cannot be opened" + tag);
        return;
    }
    std::string bytes;
    char chunk[65536];
    for (;;) {
        const int32_t n = files_.Read(handle, chunk, sizeof chunk);
        if (n <= 0) break;
        bytes.append(chunk, static_cast<size_t>(std::min<int32_t>(n, static_cast<int32_t>(sizeof chunk))));
    }
    files_.Close(handle);
    if (bytes.size() < 4) {
        Add(key.at, Severity::Error,
            Quoted(path) + " holds " + std::to_string(bytes.size()) + " bytes, too few for its star count" + tag);
        return;
    }
    const auto byte = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])); };
    const int32_t count = static_cast<int32_t>(byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24);
    // A count, then 16-byte records: right ascension, declination,
    // magnitude and the spectral class letter.
    if (count < 0) {
        Add(key.at, Severity::Error,
            Quoted(path) + " gives a negative star count (" + std::to_string(count) + ")" + tag);
        return;
    }
    const size_t expected = 4 + 16 * static_cast<size_t>(count);
    if (bytes.size() < expected) {
        Add(key.at, Severity::Error,
            Quoted(path) + " announces " + std::to_string(count) + " stars (" + std::to_string(expected) +
                " bytes) but holds " + std::to_string(bytes.size()) + " bytes: the stars past the end read as zero" +
                tag);
    } else if (bytes.size() > expected) {
        Add(key.at, Severity::Warning,
            Quoted(path) + " holds " + std::to_string(bytes.size() - expected) + " bytes after its " +
                std::to_string(count) + " stars, which are ignored" + tag);
    }
    size_t unknownClass = 0;
    for (size_t i = 0; i < static_cast<size_t>(count) && 4 + 16 * i + 16 <= bytes.size(); ++i)
        if (std::strchr("OBAFGKM", bytes[4 + 16 * i + 12]) == nullptr || bytes[4 + 16 * i + 12] == '\0') ++unknownClass;
    if (unknownClass > 0)
        Add(key.at, Severity::Warning,
            std::to_string(unknownClass) +
                " stars have a class letter other than O, B, A, F, G, K or M and are drawn in the O colour" + tag);
}

void EnvChecker::CheckReferences() {
    for (const Reference& r : materials_) {
        if (scanner_.FindSection(r.section) != nullptr) continue;
        Add(r.at, Severity::Error,
            "the material section [" + r.section + "], which this key names, does not exist [" + r.by + "]");
    }
    // Band textures: every weather level 0..4 and panel 0..7, numbered from 1.
    if (scanner_.FindSection("Sky") != nullptr) {
        const ScannedKey* band = scanner_.FindKey("Sky", "HorizonCloudTexture");
        if (band == nullptr || band->value.empty()) {
            Add(WhereOf("Sky", "HorizonCloudTexture"), Severity::Warning,
                "[Sky] has no HorizonCloudTexture: the horizon band has no textures" +
                    KeyTag("Sky", "HorizonCloudTexture"));
        } else {
            std::vector<std::vector<int>> args;
            for (int level = 1; level <= 5; ++level)
                for (int panel = 1; panel <= 8; ++panel)
                    args.push_back({level, panel});
            CheckTextures(band, "Sky", args, envsys::kNameBufferSize - 1);
        }
    }
    // The cloud layer is built for weather levels 3 and 4 only.
    if (scanner_.FindSection("CloudLayer") != nullptr)
        for (const char* key : {"TopTexture", "BottomTexture"})
            CheckTextures(scanner_.FindKey("CloudLayer", key), "CloudLayer", {{4}, {5}}, envsys::kNameBufferSize - 1);
    if (scanner_.FindSection("Sun") != nullptr) {
        const long frames = IntOf("Sun", "TwilightSunAnimation", 0);
        std::vector<std::vector<int>> args;
        for (long i = 1; i <= frames && i <= 4096; ++i)
            args.push_back({static_cast<int>(i)});
        // The frame's name goes into a texture stage: 63 characters at most.
        CheckTextures(scanner_.FindKey("Sun", "TwilightSunFormat"), "Sun", args, 63);
        if (frames > 0 && TextOf("Sun", "TwilightSunFormat").empty())
            Add(WhereOf("Sun", "TwilightSunAnimation"), Severity::Warning,
                "Sun.TwilightSunAnimation is " + std::to_string(frames) +
                    " but there is no TwilightSunFormat: the frames have no textures" +
                    KeyTag("Sun", "TwilightSunFormat"));
    }
    if (scanner_.FindSection("Reflection") != nullptr) {
        const long rows = IntOf("Reflection", "NumSunLightLevel", 0);
        const long columns = IntOf("Reflection", "NumReflectionLevel", 0);
        std::vector<std::vector<int>> args;
        for (long s = 0; s < rows && s < 256; ++s)
            for (long r = 0; r < columns && r < 256; ++r)
                args.push_back({static_cast<int>(s), static_cast<int>(r)});
        CheckTextures(scanner_.FindKey("Reflection", "TextureNameFormat"), "Reflection", args,
                      envsys::kNameBufferSize - 1);
        if (!args.empty() && TextOf("Reflection", "TextureNameFormat").empty())
            Add(WhereOf("Reflection", "NumSunLightLevel"), Severity::Warning,
                "[Reflection] asks for " + std::to_string(args.size()) +
                    " reflection maps but has no TextureNameFormat: they get empty names" +
                    KeyTag("Reflection", "TextureNameFormat"));
    }
    if (options_.checkFiles) {
        const ScannedKey* stars = scanner_.FindKey("Stars", "StarDataFile");
        if (stars != nullptr && !stars->value.empty()) CheckStarFile(*stars);
    }
}

} // namespace envcheck
