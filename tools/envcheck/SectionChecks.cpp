// Section and key checks: which sections the loaders read (fixed ones,
// counted lens flares, the material sections that keys name), and every key
// of them known to the schema or not, numbered keys included.
#include "tools/envcheck/EnvChecker.h"

#include <algorithm>
#include <cstdlib>

#include "config/StdStringUtils.h"
#include "tools/envcheck/CheckText.h"

namespace envcheck {

void EnvChecker::CheckKeys(const ScannedSection& section, const SectionSpec& keySpec, const std::string& kind) {
    std::vector<std::string> names;
    for (const KeySpec& k : keySpec.keys)
        names.push_back(k.name);
    for (const ScannedKey& key : section.keys) {
        if (key.name.empty()) continue;
        if (const KeySpec* k = FindKeySpec(keySpec.keys, key.name)) {
            CheckValue(section.name, *k, key);
            continue;
        }
        const std::string suggestion = Suggest(key.name, names);
        Add(key.at, Severity::Warning,
            "unknown key " + key.name + " in " + kind + " [" + section.name + "] is never read" +
                (suggestion.empty() ? "" : " (did you mean " + suggestion + "?)") + KeyTag(section.name, key.name));
    }
}

void EnvChecker::CheckWind(const ScannedSection& section) {
    const SectionSpec* base = nullptr;
    for (const SectionSpec& s : FixedSections())
        if (s.name == "BaseWindSection") base = &s;
    std::vector<std::string> names;
    for (const KeySpec& k : base->keys)
        names.push_back(k.name);
    for (const KeySpec& k : WindChangeKeys())
        names.push_back("WindChange[01]." + k.name);
    for (const ScannedKey& key : section.keys) {
        if (key.name.empty()) continue;
        if (const KeySpec* k = FindKeySpec(base->keys, key.name)) {
            CheckValue(section.name, *k, key);
            continue;
        }
        int index = 0;
        std::string rest;
        if (ParseIndexed(key.name, "WindChange[", "%02d", &index, &rest) && rest.size() > 2 && rest[0] == ']' &&
            rest[1] == '.') {
            const KeySpec* k = FindKeySpec(WindChangeKeys(), rest.substr(2));
            if (k == nullptr) {
                std::vector<std::string> suffixes;
                for (const KeySpec& s : WindChangeKeys())
                    suffixes.push_back(s.name);
                const std::string suggestion = Suggest(rest.substr(2), suffixes);
                Add(key.at, Severity::Warning,
                    "unknown key " + key.name + " in [" + section.name + "] is never read" +
                        (suggestion.empty()
                             ? ""
                             : " (did you mean " + Format("WindChange[%02d].", index) + suggestion + "?)") +
                        KeyTag(section.name, key.name));
            } else if (index < 1 || index > windChangeCount_) {
                Add(key.at, Severity::Warning,
                    key.name + " is not read: the wind changes are counted by consecutive " +
                        "WindChange[NN].ChangeTime keys from 01, and " +
                        Format("WindChange[%02d].ChangeTime", windChangeCount_ + 1) + " is missing, so the list " +
                        "ends at " + std::to_string(windChangeCount_) + KeyTag(section.name, key.name));
            } else {
                CheckValue(section.name, *k, key);
            }
            continue;
        }
        const std::string suggestion = Suggest(key.name, names);
        Add(key.at, Severity::Warning,
            "unknown key " + key.name + " in [" + section.name + "] is never read" +
                (suggestion.empty() ? "" : " (did you mean " + suggestion + "?)") + KeyTag(section.name, key.name));
    }
}

void EnvChecker::CheckMaterial(const ScannedSection& section) {
    const SectionSpec& keySpec = MaterialSection();
    long stages = IntOf(section.name, "NumTextureStages", 0);
    if (stages < 0 || stages > kMaxTextureStages) {
        Add(WhereOf(section.name, "NumTextureStages"), Severity::Error,
            section.name + ".NumTextureStages " + std::to_string(stages) +
                " is outside 0..8: the system uses no texture stages for this material" +
                KeyTag(section.name, "NumTextureStages"));
        stages = 0;
    }
    std::vector<std::string> names;
    for (const KeySpec& k : keySpec.keys)
        names.push_back(k.name);
    for (const KeySpec& k : TextureStageKeys())
        names.push_back("TextureStage[01]." + k.name);
    for (const ScannedKey& key : section.keys) {
        if (key.name.empty()) continue;
        if (const KeySpec* k = FindKeySpec(keySpec.keys, key.name)) {
            CheckValue(section.name, *k, key);
            continue;
        }
        int index = 0;
        std::string rest;
        if (ParseIndexed(key.name, "TextureStage[", "%02d", &index, &rest) && rest.size() > 2 && rest[0] == ']' &&
            rest[1] == '.') {
            const KeySpec* k = FindKeySpec(TextureStageKeys(), rest.substr(2));
            if (k == nullptr) {
                std::vector<std::string> suffixes;
                for (const KeySpec& s : TextureStageKeys())
                    suffixes.push_back(s.name);
                const std::string suggestion = Suggest(rest.substr(2), suffixes);
                Add(key.at, Severity::Warning,
                    "unknown key " + key.name + " in material [" + section.name + "] is never read" +
                        (suggestion.empty()
                             ? ""
                             : " (did you mean " + Format("TextureStage[%02d].", index) + suggestion + "?)") +
                        KeyTag(section.name, key.name));
            } else if (index < 1 || index > kMaxTextureStages) {
                Add(key.at, Severity::Warning,
                    key.name + " is never read: a material has texture stages 01 to 08 only" +
                        KeyTag(section.name, key.name));
            } else if (index > stages) {
                Add(key.at, Severity::Warning,
                    key.name + " is ignored: NumTextureStages of [" + section.name + "] is " + std::to_string(stages) +
                        KeyTag(section.name, key.name));
            } else {
                CheckValue(section.name, *k, key);
            }
            continue;
        }
        const std::string suggestion = Suggest(key.name, names);
        Add(key.at, Severity::Warning,
            "unknown key " + key.name + " in material [" + section.name + "] is never read" +
                (suggestion.empty() ? "" : " (did you mean " + suggestion + "?)") + KeyTag(section.name, key.name));
    }
}

void EnvChecker::CheckSections() {
    // How many lens flares and wind changes the loaders will count.
    while (scanner_.FindSection(Format("LensFlare%03d", lensFlareCount_ + 1)) != nullptr)
        ++lensFlareCount_;
    while (scanner_.FindKey("BaseWindSection", Format("WindChange[%02d].ChangeTime", windChangeCount_ + 1)) != nullptr)
        ++windChangeCount_;

    // Material sections are the ones the material keys name.
    auto collect = [&](const std::string& section, const SectionSpec& keySpec) {
        for (const KeySpec& k : keySpec.keys) {
            if (k.type != KeyType::Material) continue;
            const ScannedKey* key = scanner_.FindKey(section, k.name);
            if (key == nullptr || key->value.empty()) continue;
            materials_.push_back(Reference{key->value, section + "." + k.name, key->at});
        }
    };
    for (const SectionSpec& s : FixedSections())
        if (scanner_.FindSection(s.name) != nullptr) collect(s.name, s);
    for (int i = 1; i <= lensFlareCount_; ++i)
        collect(Format("LensFlare%03d", i), LensFlareSection());

    std::vector<std::string> known;
    for (const SectionSpec& s : FixedSections())
        known.push_back(s.name);
    for (const Reference& r : materials_)
        known.push_back(r.section);
    known.push_back(Format("LensFlare%03d", lensFlareCount_ + 1));

    for (const ScannedSection& section : scanner_.sections) {
        // Sections of second readings were reported at the first.
        if (section.name.empty() || section.reread) continue;
        bool done = false;
        for (const SectionSpec& s : FixedSections()) {
            if (!SameName(s.name, section.name)) continue;
            if (s.name == "BaseWindSection")
                CheckWind(section);
            else
                CheckKeys(section, s, "section");
            done = true;
        }
        // A material section may share its name with nothing else.
        for (const Reference& r : materials_) {
            if (done || !SameName(r.section, section.name)) continue;
            CheckMaterial(section);
            done = true;
        }
        if (done) continue;
        int index = 0;
        std::string rest;
        if (ParseIndexed(section.name, "LensFlare", "%03d", &index, &rest) && rest.empty() && index >= 1) {
            if (index <= lensFlareCount_) {
                CheckKeys(section, LensFlareSection(), "lens flare");
            } else {
                Add(section.at, Severity::Warning,
                    "section [" + section.name + "] is not read: lens flares are counted from LensFlare001, and " +
                        Format("LensFlare%03d", lensFlareCount_ + 1) + " is missing, so the list ends at " +
                        std::to_string(lensFlareCount_));
            }
            continue;
        }
        const std::string trimmed = envsys::TrimmedText(section.name);
        bool blanks = false;
        for (const std::string& k : known)
            if (trimmed != section.name && SameName(trimmed, k)) blanks = true;
        if (blanks) {
            Add(section.at, Severity::Warning,
                "section [" + section.name + "] has blanks inside its brackets, which are part of its name: the " +
                    "system looks for [" + trimmed + "] and never reads this one");
            continue;
        }
        std::string suggestion = Suggest(section.name, known);
        if (suggestion.empty() && section.name.size() > 9 && SameName(section.name.substr(0, 9), "LensFlare"))
            suggestion = Format("LensFlare%03d", std::max(1, std::atoi(section.name.c_str() + 9)));
        Add(section.at, Severity::Warning,
            "unknown section [" + section.name + "] is never read" +
                (suggestion.empty() ? "" : " (did you mean [" + suggestion + "]?)"));
    }
}

} // namespace envcheck
