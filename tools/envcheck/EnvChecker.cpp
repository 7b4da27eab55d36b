#include "tools/envcheck/EnvChecker.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/IniFile.h"
#include "config/NumberText.h"
#include "config/StringUtils.h"
#include "plugin/PluginState.h"

namespace envcheck {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsSpace(s[b]))
        ++b;
    while (e > b && IsSpace(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

// atol as the system reads it on this platform (out-of-range values
// saturate, or wrap modulo 2^32 under msvcrt).
int32_t Atol32(const std::string& s) { return envsys::TextToInteger(s.c_str()); }

std::string Number(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

std::string Format(const char* pattern, int a) {
    char buf[64];
    std::snprintf(buf, sizeof buf, pattern, a);
    return buf;
}

// The name the system forms, or false when it rejects the pattern.
bool FormatName(const std::string& pattern, const std::vector<int>& args, std::string* name) {
    char buf[envsys::kNameBufferSize];
    const int a = args.size() > 0 ? args[0] : 0;
    const int b = args.size() > 1 ? args[1] : 0;
    const bool ok =
        envsys::FormatIntegerPattern(buf, sizeof buf, pattern.c_str(), static_cast<int32_t>(args.size()), a, b);
    *name = buf;
    return ok;
}

// A component of a colour or vector as strtod reads it, with what is wrong.
struct ParsedNumber {
    double value = 0.0;
    std::string problem; // empty when the text is one clean number
};

ParsedNumber ParseFloat(const std::string& text) {
    ParsedNumber out;
    const std::string t = Trim(text);
    const char* begin = t.c_str();
    char* end = nullptr;
    out.value = envsys::RuntimeStrtod(begin, &end);
    if (end == begin) {
        out.value = 0.0;
        out.problem = Quoted(t) + " is not a number: it reads as 0";
    } else if (*end != '\0') {
        out.problem = Quoted(t) + " reads as " + Number(static_cast<float>(out.value)) + "; " + Quoted(end) +
                      " after it is ignored";
    } else if (!std::isfinite(out.value)) {
        out.problem = Quoted(t) + " is not a finite number";
    }
    return out;
}

// "#include" and friends use the same matcher as the indexed names: the
// name is prefix + the number formatted by pattern + suffix.
bool ParseIndexed(const std::string& name, const std::string& prefix, const char* numberPattern, int* index,
                  std::string* rest) {
    if (name.size() <= prefix.size() || !SameName(name.substr(0, prefix.size()), prefix)) return false;
    size_t i = prefix.size();
    size_t digits = i;
    while (digits < name.size() && std::isdigit(static_cast<unsigned char>(name[digits])))
        ++digits;
    if (digits == i || digits - i > 6) return false;
    *index = std::atoi(name.substr(i, digits - i).c_str());
    *rest = name.substr(digits);
    // The number must be written exactly as the system writes it.
    return Format(numberPattern, *index) == name.substr(i, digits - i);
}

} // namespace

int AnalysePattern(const std::string& pattern, int argCount, std::string* problem) {
    // Widths and precisions above a name buffer's size are refused, so that
    // no conversion asks for more padding than a name can hold.
    const int kMaxField = envsys::kNameBufferSize - 1;
    int conversions = 0;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') continue;
        const size_t start = i;
        ++i;
        if (i < pattern.size() && pattern[i] == '%') continue;
        bool alternate = false, zeroPad = false, precision = false;
        for (; i < pattern.size() && std::strchr("-+ #0", pattern[i]) != nullptr; ++i) {
            alternate = alternate || pattern[i] == '#';
            zeroPad = zeroPad || pattern[i] == '0';
        }
        for (int field = 0; field < 2; ++field) {
            long value = 0;
            for (; i < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[i])); ++i) {
                value = std::min<long>(value * 10 + (pattern[i] - '0'), 1000000);
            }
            if (value > kMaxField) {
                *problem = std::string(field == 0 ? "a width" : "a precision") + " above " + std::to_string(kMaxField) +
                           " is not accepted";
                return -1;
            }
            if (field == 1 || i >= pattern.size() || pattern[i] != '.') break;
            precision = true;
            ++i;
        }
        if (i >= pattern.size()) {
            *problem = "it ends in an unfinished conversion";
            return -1;
        }
        const char c = pattern[i];
        if (c == '*') {
            *problem = "'*' widths and precisions are not accepted";
            return -1;
        }
        if (std::strchr("hlLqjzt", c) != nullptr) {
            *problem = std::string("the length modifier '") + c + "' is not accepted";
            return -1;
        }
        if (c == '\0' || std::strchr("diuxXoc", c) == nullptr) {
            *problem = std::string("%") + c + " is not an integer conversion";
            return -1;
        }
        if (alternate && std::strchr("xXo", c) == nullptr) {
            *problem = std::string("the flag '#' is not accepted with %") + c;
            return -1;
        }
        if (c == 'c' && (precision || zeroPad)) {
            *problem = "%c takes neither a precision nor the flag '0'";
            return -1;
        }
        if (i + 1 - start > 15) {
            *problem = "a conversion longer than 15 characters is not accepted";
            return -1;
        }
        ++conversions;
    }
    if (conversions > argCount) {
        *problem = "it has " + std::to_string(conversions) + " conversions but is given only " +
                   std::to_string(argCount) + (argCount == 1 ? " number" : " numbers");
        return -1;
    }
    return conversions;
}

EnvChecker::EnvChecker(envsys::FileService* files, envsys::MemoryService* memory, CheckOptions options)
    : files_(files), memory_(memory), options_(options), scanner_(&files_) {}

std::string EnvChecker::FileName(int file) const { return file <= 0 ? userName_ : scanner_.DisplayName(file); }

void EnvChecker::Add(Location at, Severity severity, std::string message) {
    diagnostics_.push_back(Diagnostic{at, severity, std::move(message)});
}

float EnvChecker::FloatOf(const std::string& section, const std::string& key, float def) const {
    const ScannedKey* k = scanner_.FindKey(section, key);
    if (k == nullptr) return def;
    return static_cast<float>(envsys::RuntimeStrtod(k->value.c_str(), nullptr));
}

long EnvChecker::IntOf(const std::string& section, const std::string& key, long def) const {
    const ScannedKey* k = scanner_.FindKey(section, key);
    if (k == nullptr) return def;
    return Atol32(k->value);
}

std::string EnvChecker::TextOf(const std::string& section, const std::string& key) const {
    const ScannedKey* k = scanner_.FindKey(section, key);
    return k != nullptr ? k->value : std::string();
}

Location EnvChecker::WhereOf(const std::string& section, const std::string& key) const {
    if (const ScannedKey* k = scanner_.FindKey(section, key)) return k->at;
    if (const ScannedSection* s = scanner_.FindSection(section)) return s->at;
    return Location{0, 0};
}

int EnvChecker::Check(const std::string& fileName) {
    diagnostics_.clear();
    materials_.clear();
    dump_.clear();
    lensFlareCount_ = windChangeCount_ = 0;
    userName_ = fileName;

    // The configuration library allocates through MEM and reads through FMG.
    envsys::PluginState saved = envsys::g_plugin;
    static const char kOwner[] = "ENV";
    envsys::g_plugin.mem = memory_;
    envsys::g_plugin.fmg = &files_;
    if (envsys::g_plugin.ownerTagPointer == nullptr) envsys::g_plugin.ownerTagPointer = kOwner;

    int status = 0;
    if (envsys::FileExists(fileName.c_str(), 0) == 0) {
        Add(Location{-1, 0}, Severity::Error, "Environment File not found");
    } else {
        // LoadEnvironment opens the name as the document normalises it.
        char opened[envsys::kNameBufferSize];
        envsys::fmgCheckFilename(nullptr, fileName.c_str(), "INI", opened, sizeof opened);
        if (std::strcmp(opened, fileName.c_str()) != 0 && envsys::FileExists(opened, 0) == 0) {
            Add(Location{-1, 0}, Severity::Error,
                "the system opens this file as " + Quoted(opened) +
                    " (it adds a directory and the extension .INI to a name without them), and no file has that "
                    "name");
        }
        scanner_.Scan(opened, fileName);
        for (const Diagnostic& d : scanner_.diagnostics)
            diagnostics_.push_back(d);
        {
            envsys::IniFile doc(fileName.c_str(), 0, 0);
            CrossCheck(&doc);
            CheckSections();
            // The lists the loaders count must come out the same as well.
            if (doc.CountSections("LensFlare%03d") != lensFlareCount_ ||
                doc.CountKeys("BaseWindSection", "WindChange[%02d].ChangeTime") != windChangeCount_)
                Add(Location{0, 0}, Severity::Error,
                    "the configuration library counts " + std::to_string(doc.CountSections("LensFlare%03d")) +
                        " lens flares and " +
                        std::to_string(doc.CountKeys("BaseWindSection", "WindChange[%02d].ChangeTime")) +
                        " wind changes, the checker " + std::to_string(lensFlareCount_) + " and " +
                        std::to_string(windChangeCount_));
            CheckModel();
            CheckReferences();
            BuildDump(&doc);
        }
    }
    envsys::g_plugin.mem = saved.mem;
    envsys::g_plugin.fmg = saved.fmg;
    envsys::g_plugin.ownerTagPointer = saved.ownerTagPointer;

    std::stable_sort(diagnostics_.begin(), diagnostics_.end(), [](const Diagnostic& a, const Diagnostic& b) {
        const int fa = std::max(a.at.file, 0), fb = std::max(b.at.file, 0);
        if (fa != fb) return fa < fb;
        return a.at.line < b.at.line;
    });
    for (const Diagnostic& d : diagnostics_)
        status = std::max(status, static_cast<int>(d.severity));
    return status;
}

void EnvChecker::CrossCheck(envsys::IniFile* doc) {
    // The checker's own pass and the library must agree on every section and
    // key; a difference means one of them parses differently from the other.
    std::vector<std::string> differences;
    std::vector<Location> where;
    if (doc->sections.count != static_cast<int32_t>(scanner_.sections.size())) {
        differences.push_back("the configuration library reads " + std::to_string(doc->sections.count) +
                              " sections where the checker finds " + std::to_string(scanner_.sections.size()));
        where.push_back(Location{0, 0});
    }
    for (const ScannedSection& s : scanner_.sections) {
        if (s.name.empty()) continue;
        if (doc->HasSection(s.name.c_str()) == 0) {
            differences.push_back("the configuration library does not find section [" + s.name + "]");
            where.push_back(s.at);
            continue;
        }
        for (const ScannedKey& k : s.keys) {
            if (k.name.empty()) continue;
            envsys::IniKey* key = doc->FindKey(s.name.c_str(), k.name.c_str());
            std::string problem;
            if (key == nullptr) {
                problem = "does not find the key";
            } else if ((key->value != nullptr) != k.hasValue || (key->value != nullptr && k.value != key->value)) {
                problem = "reads the value " + (key->value != nullptr ? Quoted(key->value) : "(none)");
            } else if (key->integerValue != Atol32(k.value) ||
                       !(key->floatValue == static_cast<float>(envsys::RuntimeStrtod(k.value.c_str(), nullptr)) ||
                         (std::isnan(key->floatValue) &&
                          std::isnan(envsys::RuntimeStrtod(k.value.c_str(), nullptr))))) {
                problem = "reads the numbers " + std::to_string(key->integerValue) + " and " + Number(key->floatValue);
            }
            if (!problem.empty()) {
                differences.push_back("the configuration library " + problem + " for " + s.name + "." + k.name);
                where.push_back(k.at);
            }
        }
    }
    const size_t shown = std::min<size_t>(differences.size(), 5);
    for (size_t i = 0; i < shown; ++i)
        Add(where[i], Severity::Error, differences[i]);
    if (differences.size() > shown)
        Add(Location{0, 0}, Severity::Error,
            std::to_string(differences.size() - shown) + " more differences from the configuration library");
}

void EnvChecker::CheckValue(const std::string& owner, const KeySpec& keySpec, const ScannedKey& key) {
    const std::string what = owner + "." + key.name;
    const std::string& v = key.value;
    auto warn = [&](const std::string& message) { Add(key.at, Severity::Warning, what + ": " + message); };
    if (!key.hasValue || v.empty()) {
        switch (keySpec.type) {
        case KeyType::Float:
        case KeyType::Int:
            warn(std::string("has no value: it reads as 0") +
                 (keySpec.defaultText != "0" ? ", not as the default " + keySpec.defaultText : ""));
            break;
        case KeyType::Bool:
            warn(std::string("has no value: it reads as false") +
                 (keySpec.defaultText == "TRUE" ? ", not as the default TRUE" : ""));
            break;
        case KeyType::Color:
        case KeyType::ColorAlpha:
            warn("has no value: the colour keeps its previous value (black on the first load)");
            break;
        case KeyType::Enum:
            warn("has no value: it reads as " + keySpec.words.front());
            break;
        default:
            break;
        }
        return;
    }
    switch (keySpec.type) {
    case KeyType::Float: {
        const ParsedNumber n = ParseFloat(v);
        if (!n.problem.empty()) warn(n.problem);
        break;
    }
    case KeyType::Int: {
        const char* begin = v.c_str();
        char* end = nullptr;
        const long long wide = std::strtoll(begin, &end, 10);
        const int32_t n = Atol32(v);
        if (end == begin) {
            warn(Quoted(v) + " is not a whole number: it reads as 0");
        } else if (wide != n) {
            warn(Quoted(v) + " is outside the 32-bit range: it reads as " + std::to_string(n));
        } else if (*end != '\0') {
            char* fend = nullptr;
            envsys::RuntimeStrtod(begin, &fend);
            if (*fend == '\0')
                warn(Quoted(v) + " is not a whole number: it reads as " + std::to_string(n));
            else
                warn(Quoted(v) + " reads as " + std::to_string(n) + "; " + Quoted(end) + " after it is ignored");
        }
        break;
    }
    case KeyType::Bool: {
        if (SameName(v, "TRUE") || SameName(v, "FALSE")) break;
        const char* begin = v.c_str();
        char* end = nullptr;
        const long n = std::strtol(begin, &end, 10);
        if (end != begin && *end == '\0') break;
        warn(Quoted(v) + " is not TRUE, FALSE or a number: it reads as " + (n != 0 ? "true" : "false") +
             " (write TRUE or FALSE)");
        break;
    }
    case KeyType::Text:
    case KeyType::Material:
    case KeyType::StarFile:
        if (static_cast<int>(v.size()) > keySpec.maxLength)
            warn("the value is longer than " + std::to_string(keySpec.maxLength) + " characters and is cut");
        break;
    case KeyType::Color:
    case KeyType::ColorAlpha:
    case KeyType::Vector: {
        std::vector<std::string> parts;
        size_t start = 0;
        for (;;) {
            const size_t comma = v.find(',', start);
            parts.push_back(v.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
        if (keySpec.type == KeyType::Vector) {
            if (parts.size() < 2) {
                warn(Quoted(v) + " has no comma: the vector reads as 0,0,0");
                break;
            }
            if (parts.size() > 3) warn(Quoted(v) + " has more than three components: the rest are ignored");
        } else {
            if (parts.size() < 3) {
                warn(Quoted(v) + " has fewer than three components: the colour keeps its previous value "
                                 "(black on the first load)");
                break;
            }
            const size_t most = keySpec.type == KeyType::ColorAlpha ? 4 : 3;
            if (parts.size() > most)
                warn(Quoted(v) + " has more than " + std::to_string(most) + " components: the rest are ignored");
        }
        const size_t used = std::min<size_t>(parts.size(), keySpec.type == KeyType::ColorAlpha ? 4 : 3);
        for (size_t i = 0; i < used; ++i) {
            const ParsedNumber n = ParseFloat(parts[i]);
            if (!n.problem.empty()) {
                warn("component " + std::to_string(i + 1) + ": " + n.problem);
            } else if (keySpec.type != KeyType::Vector && (n.value < 0.0 || n.value > 1.0)) {
                warn("component " + std::to_string(i + 1) + " (" + Trim(parts[i]) + ") is outside 0..1 and is " +
                     "clamped to " + (n.value < 0.0 ? "0" : "1"));
            }
        }
        break;
    }
    case KeyType::Pattern: {
        std::string problem;
        int conversions = AnalysePattern(v, keySpec.patternArgs, &problem);
        // The library decides; the analysis gives the reason.
        std::string name;
        const std::vector<int> probe(static_cast<size_t>(keySpec.patternArgs), 1);
        if (!FormatName(v, probe, &name) && conversions >= 0) {
            conversions = -1;
            problem = "the configuration library refuses it";
        } else if (conversions < 0 && FormatName(v, probe, &name)) {
            conversions = 0;
            for (size_t i = 0; i + 1 < v.size(); ++i)
                if (v[i] == '%') conversions += v[i + 1] == '%' ? (++i, 0) : 1;
        }
        if (conversions < 0) {
            Add(key.at, Severity::Error,
                what + ": the system rejects the pattern " + Quoted(v) + " (" + problem + "): no name is formed");
        } else if (conversions < keySpec.patternArgs) {
            warn("the pattern " + Quoted(v) + " uses " + std::to_string(conversions) + " of the " +
                 std::to_string(keySpec.patternArgs) + " numbers it is given (" + keySpec.argsMeaning +
                 "), so several textures share one name");
        }
        break;
    }
    case KeyType::Enum: {
        for (const std::string& w : keySpec.words)
            if (SameName(w, v)) return;
        const std::string suggestion = Suggest(v, keySpec.words);
        warn(Quoted(v) + " is not a " + keySpec.name + " word: it reads as " + keySpec.words.front() +
             (suggestion.empty() ? "" : " (did you mean " + suggestion + "?)"));
        break;
    }
    }
}

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
                (suggestion.empty() ? "" : " (did you mean " + suggestion + "?)"));
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
                             : " (did you mean " + Format("WindChange[%02d].", index) + suggestion + "?)"));
            } else if (index < 1 || index > windChangeCount_) {
                Add(key.at, Severity::Warning,
                    key.name + " is not read: the wind changes are counted by consecutive " +
                        "WindChange[NN].ChangeTime keys from 01, and " +
                        Format("WindChange[%02d].ChangeTime", windChangeCount_ + 1) + " is missing, so the list " +
                        "ends at " + std::to_string(windChangeCount_));
            } else {
                CheckValue(section.name, *k, key);
            }
            continue;
        }
        const std::string suggestion = Suggest(key.name, names);
        Add(key.at, Severity::Warning,
            "unknown key " + key.name + " in [" + section.name + "] is never read" +
                (suggestion.empty() ? "" : " (did you mean " + suggestion + "?)"));
    }
}

void EnvChecker::CheckMaterial(const ScannedSection& section) {
    const SectionSpec& keySpec = MaterialSection();
    long stages = IntOf(section.name, "NumTextureStages", 0);
    if (stages < 0 || stages > kMaxTextureStages) {
        Add(WhereOf(section.name, "NumTextureStages"), Severity::Error,
            section.name + ".NumTextureStages " + std::to_string(stages) +
                " is outside 0..8: the system uses no texture stages for this material");
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
                             : " (did you mean " + Format("TextureStage[%02d].", index) + suggestion + "?)"));
            } else if (index < 1 || index > kMaxTextureStages) {
                Add(key.at, Severity::Warning,
                    key.name + " is never read: a material has texture stages 01 to 08 only");
            } else if (index > stages) {
                Add(key.at, Severity::Warning,
                    key.name + " is ignored: NumTextureStages of [" + section.name + "] is " + std::to_string(stages));
            } else {
                CheckValue(section.name, *k, key);
            }
            continue;
        }
        const std::string suggestion = Suggest(key.name, names);
        Add(key.at, Severity::Warning,
            "unknown key " + key.name + " in material [" + section.name + "] is never read" +
                (suggestion.empty() ? "" : " (did you mean " + suggestion + "?)"));
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
        const std::string trimmed = Trim(section.name);
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

void EnvChecker::CheckModel() {
    // The light states blend between neighbours by the sun's height: each
    // blend divides by the difference of two SunHeight values.
    const char* states[] = {"Day", "Twilight1", "Twilight2", "Night"};
    bool any = false;
    for (const char* s : states)
        any = any || scanner_.FindSection(s) != nullptr;
    if (any) {
        for (int i = 1; i < 4; ++i) {
            const float upper = FloatOf(states[i - 1], "SunHeight", 0.0f);
            const float lower = FloatOf(states[i], "SunHeight", 0.0f);
            if (lower < upper) continue;
            Add(WhereOf(states[i], "SunHeight"), Severity::Error,
                std::string(states[i]) + ".SunHeight (" + Number(lower) + ") is not below " + states[i - 1] +
                    ".SunHeight (" + Number(upper) +
                    "): SunHeight must fall from Day through Twilight1 and Twilight2 to Night; the light blend "
                    "divides by their difference");
        }
        for (const char* s : states) {
            const float h = FloatOf(s, "SunHeight", 0.0f);
            if (h < -1.0f || h > 1.0f)
                Add(WhereOf(s, "SunHeight"), Severity::Warning,
                    std::string(s) + ".SunHeight " + Number(h) +
                        " is outside -1..1: it is the sine of the sun's elevation, which never gets there");
        }
    }
    if (scanner_.FindSection("EnvironmentSystem") != nullptr &&
        FloatOf("EnvironmentSystem", "UpdateRate", 60.0f) <= 0.0f)
        Add(WhereOf("EnvironmentSystem", "UpdateRate"), Severity::Warning,
            "EnvironmentSystem.UpdateRate is not above 0: the lighting is recomputed on every frame");
    if (scanner_.FindSection("Stars") != nullptr) {
        if (FloatOf("Stars", "UpdateRate", 60.0f) <= 0.0f)
            Add(WhereOf("Stars", "UpdateRate"), Severity::Error,
                "Stars.UpdateRate is not above 0: the stars refreshed per second (star count / UpdateRate) "
                "divide by it");
        if (FloatOf("Stars", "MinHeight", 0.0f) == 0.0f)
            Add(WhereOf("Stars", "MinHeight"), Severity::Warning,
                "Stars.MinHeight is 0: the horizon fade divides by it, and stars are not shrunk near the horizon");
    }
    if (scanner_.FindSection("Sun") != nullptr && FloatOf("Sun", "SunAngle", 0.0f) == 1.0f)
        Add(WhereOf("Sun", "SunAngle"), Severity::Error,
            "Sun.SunAngle is 1: the glare scale 1 / (1 - SunAngle) divides by zero");
    if (scanner_.FindSection("Sun") != nullptr && IntOf("Sun", "TwilightSunAnimation", 0) < 0)
        Add(WhereOf("Sun", "TwilightSunAnimation"), Severity::Error,
            "Sun.TwilightSunAnimation is negative: the twilight frames cannot be allocated");
    if (scanner_.FindSection("Sky") != nullptr) {
        const long n = IntOf("Sky", "SkyPanelCount", 8);
        if (n < 1 || 3 * (n + 1) > 65535)
            Add(WhereOf("Sky", "SkyPanelCount"), Severity::Error,
                "Sky.SkyPanelCount " + std::to_string(n) +
                    " is outside 1..21843: the dome needs at least one column and its indices are 16-bit");
    }
    if (scanner_.FindSection("CloudLayer") != nullptr) {
        const long n = IntOf("CloudLayer", "TileCount", 0);
        if (n < 0 || 4 * n * n > 65536)
            Add(WhereOf("CloudLayer", "TileCount"), Severity::Error,
                "CloudLayer.TileCount " + std::to_string(n) +
                    " is outside 0..128: the layer's 4 x TileCount^2 vertices need 16-bit indices");
        else if (n == 1)
            Add(WhereOf("CloudLayer", "TileCount"), Severity::Warning,
                "CloudLayer.TileCount 1 gives a fade radius of 0: the single tile is invisible");
        const float size = FloatOf("CloudLayer", "TileSize", 1.0f);
        if (size == 0.0f)
            Add(WhereOf("CloudLayer", "TileSize"), Severity::Error,
                "CloudLayer.TileSize is 0: the layer divides the viewer's position by it");
    }
    if (scanner_.FindSection("Clouds") != nullptr) {
        for (const char* key : {"MaxClouds", "MaxCloudParticles"})
            if (IntOf("Clouds", key, 0) < 0)
                Add(WhereOf("Clouds", key), Severity::Error,
                    std::string("Clouds.") + key + " is negative: the cloud storage cannot be allocated");
    }
    if (scanner_.FindSection("Reflection") != nullptr) {
        for (const char* key : {"NumSunLightLevel", "NumWeatherLevel", "NumReflectionLevel"})
            if (IntOf("Reflection", key, 0) < 0)
                Add(WhereOf("Reflection", key), Severity::Warning,
                    std::string("Reflection.") + key + " is negative: no reflection maps are loaded");
    }
}

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
            owner + "." + key->name + ": texture names longer than " + std::to_string(nameLimit) +
                " characters are cut");
    if (missing.empty()) return;
    std::string list;
    for (size_t i = 0; i < missing.size() && i < 4; ++i)
        list += (i > 0 ? ", " : "") + missing[i];
    if (missing.size() > 4) list += " and " + std::to_string(missing.size() - 4) + " more";
    Add(key->at, Severity::Error,
        owner + "." + key->name + ": " + std::to_string(missing.size()) + " texture file" +
            (missing.size() == 1 ? "" : "s") + " not found: " + list);
}

void EnvChecker::CheckStarFile(const ScannedKey& key) {
    char path[envsys::kNameBufferSize];
    envsys::fmgCheckFilePath(".\\", key.value.c_str(), path, sizeof path);
    if (files_.Exists(path, 0) == 0) {
        Add(key.at, Severity::Error, "Stars.StarDataFile: " + Quoted(path) + " not found: the sky has no stars");
        return;
    }
    const int32_t handle = files_.Open(path, 0);
    if (handle == -1) {
        Add(key.at, Severity::Error, "Stars.StarDataFile: " + Quoted(path) + " cannot be opened");
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
            "Stars.StarDataFile: " + Quoted(path) + " holds " + std::to_string(bytes.size()) +
                " bytes, too few for its star count");
        return;
    }
    const auto byte = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])); };
    const int32_t count = static_cast<int32_t>(byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24);
    // A count, then 16-byte records: right ascension, declination,
    // magnitude and the spectral class letter.
    if (count < 0) {
        Add(key.at, Severity::Error,
            "Stars.StarDataFile: " + Quoted(path) + " gives a negative star count (" + std::to_string(count) + ")");
        return;
    }
    const size_t expected = 4 + 16 * static_cast<size_t>(count);
    if (bytes.size() < expected) {
        Add(key.at, Severity::Error,
            "Stars.StarDataFile: " + Quoted(path) + " announces " + std::to_string(count) + " stars (" +
                std::to_string(expected) + " bytes) but holds " + std::to_string(bytes.size()) +
                " bytes: the stars past the end read as zero");
    } else if (bytes.size() > expected) {
        Add(key.at, Severity::Warning,
            "Stars.StarDataFile: " + Quoted(path) + " holds " + std::to_string(bytes.size() - expected) +
                " bytes after its " + std::to_string(count) + " stars, which are ignored");
    }
    size_t unknownClass = 0;
    for (size_t i = 0; i < static_cast<size_t>(count) && 4 + 16 * i + 16 <= bytes.size(); ++i)
        if (std::strchr("OBAFGKM", bytes[4 + 16 * i + 12]) == nullptr || bytes[4 + 16 * i + 12] == '\0') ++unknownClass;
    if (unknownClass > 0)
        Add(key.at, Severity::Warning,
            "Stars.StarDataFile: " + std::to_string(unknownClass) +
                " stars have a class letter other than O, B, A, F, G, K or M and are drawn in the O colour");
}

void EnvChecker::CheckReferences() {
    for (const Reference& r : materials_) {
        if (scanner_.FindSection(r.section) != nullptr) continue;
        Add(r.at, Severity::Error, r.by + " names the material section [" + r.section + "], which does not exist");
    }
    // Band textures: every weather level 0..4 and panel 0..7, numbered from 1.
    if (scanner_.FindSection("Sky") != nullptr) {
        const ScannedKey* band = scanner_.FindKey("Sky", "HorizonCloudTexture");
        if (band == nullptr || band->value.empty()) {
            Add(WhereOf("Sky", "HorizonCloudTexture"), Severity::Warning,
                "[Sky] has no HorizonCloudTexture: the horizon band has no textures");
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
                    " but there is no TwilightSunFormat: the frames have no textures");
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
                    " reflection maps but has no TextureNameFormat: they get empty names");
    }
    if (options_.checkFiles) {
        const ScannedKey* stars = scanner_.FindKey("Stars", "StarDataFile");
        if (stars != nullptr && !stars->value.empty()) CheckStarFile(*stars);
    }
}

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

std::string EnvChecker::Report() const {
    std::string out;
    for (const Diagnostic& d : diagnostics_) {
        out += FileName(d.at.file);
        if (d.at.line > 0) out += ":" + std::to_string(d.at.line);
        out += d.severity == Severity::Error     ? ": error: "
               : d.severity == Severity::Warning ? ": warning: "
                                                 : ": note: ";
        out += d.message + "\n";
    }
    return out;
}

} // namespace envcheck
