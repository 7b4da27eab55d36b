// envcheck's schema against the loaders themselves. A document in
// record-defaults mode gains every key a getter misses, with the default the
// loader passed, so loading one through the system lists what the loaders
// read; the schema must say the same, key for key, both ways.
#if defined(ENVSYS_HAVE_ENVCHECK)
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "config/IniFile.h"
#include "config/Material.h"
#include "config/NumberText.h"
#include "plugin/EnvironmentSystem.h"
#include "testing/TestHost.h"
#include "tools/envcheck/Schema.h"

namespace envcheck {
namespace {

using envsys::IniFile;
using envsys::IniKey;
using envsys::IniSection;
using envsys::ListNode;

// Marks the keys of the file itself, so that the ones a getter read (and
// stamped with its value kind) stand out from the ones nothing read.
constexpr uint32_t kUnread = 0xFF;

// What the loaders read only on condition: a lens flare, a wind change, the
// reflection grid's texture names, a material with and without stages.
const char* kProbe = "[BaseWindSection]\nWindChange[01].ChangeTime=1\n"
                     "[Reflection]\nNumSunLightLevel=1\nNumReflectionLevel=1\n"
                     "[LensFlare001]\n[Staged]\nNumTextureStages=8\n[Plain]\n";

// The schema's form of a numbered name: "LensFlare%03d", "WindChange[%02d].Size".
std::string PatternOf(const std::string& name) {
    static const std::regex numbered(R"(^(LensFlare)\d{3}$|^(WindChange|TextureStage)\[\d\d\]\.(.*)$)");
    std::smatch m;
    if (!std::regex_match(name, m, numbered)) return name;
    return m[1].matched ? "LensFlare%03d" : m[2].str() + "[%02d]." + m[3].str();
}

// Every schema key as "Section.Key", numbered names in pattern form and
// material sections as "material".
using SchemaEntry = std::pair<std::string, const KeySpec*>;

std::vector<SchemaEntry> SchemaKeys() {
    std::vector<SchemaEntry> out;
    auto add = [&](const std::string& section, const std::string& prefix, const std::vector<KeySpec>& keys) {
        for (const KeySpec& k : keys)
            out.emplace_back(section + "." + prefix + k.name, &k);
    };
    for (const SectionSpec& s : FixedSections())
        add(s.name, "", s.keys);
    add("BaseWindSection", "WindChange[%02d].", WindChangeKeys());
    add(LensFlareSection().name, "", LensFlareSection().keys);
    add(MaterialSection().name, "", MaterialSection().keys);
    add(MaterialSection().name, "TextureStage[%02d].", TextureStageKeys());
    return out;
}

// How the schema's default or type disagrees with what the loader did, or "".
std::string Drift(const KeySpec& keySpec, const IniKey& read, bool missing) {
    const uint32_t want = keySpec.type == KeyType::Float ? envsys::kValueFloat
                          : keySpec.type == KeyType::Int ? envsys::kValueInteger
                                                         : envsys::kValueText;
    // A boolean written as a number is read as one.
    if (read.valueKind != want && !(keySpec.type == KeyType::Bool && read.valueKind == envsys::kValueInteger))
        return "read with the getter of value kind " + std::to_string(read.valueKind);
    if (!missing) return "";
    const std::string text = read.value != nullptr ? read.value : "";
    switch (keySpec.type) {
    case KeyType::Float:
        if (envsys::TextToFloat(keySpec.defaultText.c_str()) == read.floatValue) return "";
        return "default " + std::to_string(read.floatValue);
    case KeyType::Int:
        if (envsys::TextToInteger(keySpec.defaultText.c_str()) == read.integerValue) return "";
        return "default " + std::to_string(read.integerValue);
    case KeyType::Bool:
    case KeyType::Enum:
        // A word the reader does not know reads as the list's first.
        if (text == keySpec.defaultText || (keySpec.type == KeyType::Enum && text.empty())) return "";
        return "default " + text;
    default:
        // Colours and vectors read "" and keep or zero their values; texts
        // default to the text given, and a pattern without one forms none.
        if (text.empty() || keySpec.defaultText == "\"" + text + "\"") return "";
        return "default \"" + text + "\"";
    }
}

TEST(EnvCheckSchema, SaysWhatTheLoadersReadWithTheirDefaults) {
    envsys::testing::TestHost host;
    host.Init();
    host.files.Add("probe.ini", kProbe);
    // Nothing in the first document, the probe in the second.
    IniFile empty("empty.ini", 1, 1);
    IniFile probe("probe.ini", 1, 0);
    std::vector<const IniKey*> written;
    for (ListNode* s = probe.sections.head; s != nullptr; s = s->next)
        for (ListNode* k = static_cast<IniSection*>(s->data)->keys.head; k != nullptr; k = k->next) {
            static_cast<IniKey*>(k->data)->valueKind = kUnread;
            written.push_back(static_cast<IniKey*>(k->data));
        }
    envsys::MaterialRecord record;
    for (IniFile* doc : {&empty, &probe}) {
        envsys::g_environmentSystem.LoadDocument(*doc);
        envsys::LoadMaterial(&record, doc, "Plain");
        envsys::LoadMaterial(&record, doc, "Staged");
    }

    // Read keys in reading order; the empty document's first, since there
    // every key is missing and shows its default.
    std::vector<std::string> order;
    std::vector<std::string> drift;
    std::vector<std::string> seen;
    for (IniFile* doc : {&empty, &probe}) {
        for (ListNode* s = doc->sections.head; s != nullptr; s = s->next) {
            const auto* section = static_cast<IniSection*>(s->data);
            for (ListNode* k = section->keys.head; k != nullptr; k = k->next) {
                const auto* key = static_cast<IniKey*>(k->data);
                if (key->valueKind == kUnread) continue;
                const bool material = SameName(section->name, "Plain") || SameName(section->name, "Staged");
                const std::string name =
                    (material ? MaterialSection().name : PatternOf(section->name)) + "." + PatternOf(key->name);
                if (std::find(seen.begin(), seen.end(), name) != seen.end()) continue;
                seen.push_back(name);
                if (doc == &empty) order.push_back(name);
                const KeySpec* keySpec = nullptr;
                for (const auto& entry : SchemaKeys())
                    if (SameName(entry.first, name)) keySpec = entry.second;
                if (keySpec == nullptr) {
                    drift.push_back(name + ": read by the loaders, not in the schema");
                    continue;
                }
                const bool missing = std::find(written.begin(), written.end(), key) == written.end();
                const std::string why = Drift(*keySpec, *key, missing);
                if (!why.empty()) drift.push_back(name + ": " + why + ", the schema says " + keySpec->defaultText);
            }
        }
    }
    for (const auto& entry : SchemaKeys())
        if (std::find_if(seen.begin(), seen.end(), [&](const std::string& s) { return SameName(s, entry.first); }) ==
            seen.end())
            drift.push_back(entry.first + ": in the schema, read by no loader");
    EXPECT_EQ(drift, std::vector<std::string>{});
    // The probe's own keys turn the conditions on, so each must be read.
    for (const IniKey* key : written)
        EXPECT_NE(key->valueKind, kUnread) << key->name;

    // The fixed sections in the loaders' order, as the dump lists them (keys
    // read only on condition aside); one name a line, so that a failure
    // shows the difference.
    std::string fixed;
    for (const SectionSpec& section : FixedSections())
        for (const KeySpec& k : section.keys)
            if (std::find(order.begin(), order.end(), section.name + "." + k.name) != order.end())
                fixed += section.name + "." + k.name + "\n";
    std::string read;
    for (const std::string& name : order)
        read += name + "\n";
    EXPECT_EQ(read, fixed);
}

} // namespace
} // namespace envcheck
#endif
