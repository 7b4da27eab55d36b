// The dump: the effective settings of every section the system reads, each
// value as the configuration library gives it, with its origin.
#include "tools/envcheck/EnvChecker.h"

#include "config/IniFile.h"
#include "tools/envcheck/CheckText.h"

namespace envcheck {

void EnvChecker::BuildDump(envsys::IniFile* doc) {
    auto origin = [&](const ScannedKey* k) {
        if (k == nullptr) return std::string("default");
        return FileName(k->at.file) + ":" + std::to_string(k->at.line);
    };
    auto value = [&](const std::string& section, const KeySpec& keySpec) -> std::string {
        const ScannedKey* k = scanner_.FindKey(section, keySpec.name);
        if (k == nullptr) return keySpec.defaultText;
        const char* s = section.c_str();
        const char* key = k->name.c_str();
        switch (keySpec.type) {
        case KeyType::Float:
            return Number(doc->GetFloat(s, key, 0.0f));
        case KeyType::Int:
            return std::to_string(doc->GetInt(s, key, 0));
        case KeyType::Bool:
            return doc->GetBool(s, key, 0) != 0 ? "TRUE" : "FALSE";
        case KeyType::Color:
        case KeyType::ColorAlpha: {
            float c[4] = {0.0f, 0.0f, 0.0f, 1.0f};
            const int32_t ok = keySpec.type == KeyType::Color ? envsys::GetColor(c, doc, s, key)
                                                              : envsys::GetColorAlpha(c, doc, s, key);
            if (ok == 0) return "unchanged (fewer than three components)";
            std::string out = Number(c[0]) + ", " + Number(c[1]) + ", " + Number(c[2]);
            if (keySpec.type == KeyType::ColorAlpha) out += ", " + Number(c[3]);
            return out;
        }
        case KeyType::Vector: {
            float v[3] = {0.0f, 0.0f, 0.0f};
            envsys::GetVector(v, doc, s, key);
            return Number(v[0]) + ", " + Number(v[1]) + ", " + Number(v[2]);
        }
        case KeyType::Enum: {
            char text[envsys::kNameBufferSize];
            doc->GetString(s, key, "", text, sizeof text, envsys::kCaseAsStored);
            for (const std::string& w : keySpec.words)
                if (SameName(w, text)) return w;
            return keySpec.words.front();
        }
        default: {
            char text[envsys::kNameBufferSize];
            doc->GetString(s, key, "", text, sizeof text, envsys::kCaseAsStored);
            return "\"" + std::string(text) + "\"";
        }
        }
    };
    auto section = [&](const std::string& name, const std::vector<KeySpec>& keys, const std::string& indexed) {
        const ScannedSection* found = scanner_.FindSection(name);
        if (indexed.empty()) {
            dump_ += "[" + name + "]";
            if (found == nullptr)
                dump_ += "  ; not in the file: every key takes its default";
            else
                dump_ += "  ; " + FileName(found->at.file) + ":" + std::to_string(found->at.line);
            dump_ += "\n";
        }
        for (const KeySpec& k : keys) {
            KeySpec named = k;
            named.name = indexed + k.name;
            std::string line = "  " + named.name + " = " + value(name, named);
            if (line.size() < 48) line.resize(48, ' ');
            dump_ += line + " ; " + origin(scanner_.FindKey(name, named.name)) + "\n";
        }
    };
    for (const SectionSpec& s : FixedSections()) {
        section(s.name, s.keys, "");
        if (s.name == "BaseWindSection")
            for (int i = 1; i <= windChangeCount_; ++i)
                section(s.name, WindChangeKeys(), Format("WindChange[%02d].", i));
    }
    for (int i = 1; i <= lensFlareCount_; ++i)
        section(Format("LensFlare%03d", i), LensFlareSection().keys, "");
    std::vector<std::string> done;
    for (const Reference& r : materials_) {
        bool seen = false;
        for (const std::string& d : done)
            seen = seen || SameName(d, r.section);
        if (seen || scanner_.FindSection(r.section) == nullptr) continue;
        done.push_back(r.section);
        section(r.section, MaterialSection().keys, "");
        long stages = IntOf(r.section, "NumTextureStages", 0);
        if (stages < 0 || stages > kMaxTextureStages) stages = 0;
        for (long i = 1; i <= stages; ++i)
            section(r.section, TextureStageKeys(), Format("TextureStage[%02d].", static_cast<int>(i)));
    }
}

} // namespace envcheck
