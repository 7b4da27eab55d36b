// Value checks: what a key's text reads as, by the key's type, against what
// the author wrote; and the rules the system forms texture names by.
#include "tools/envcheck/EnvChecker.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "config/IniFile.h"
#include "config/NumberText.h"
#include "config/StdStringUtils.h"
#include "tools/envcheck/CheckText.h"

namespace envcheck {

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

void EnvChecker::CheckValue(const std::string& owner, const KeySpec& keySpec, const ScannedKey& key) {
    const std::string tag = KeyTag(owner, key.name);
    const std::string& v = key.value;
    auto warn = [&](const std::string& message) { Add(key.at, Severity::Warning, message + tag); };
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
        const std::vector<std::string> parts = envsys::SplitText(v, ',');
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
                warn("component " + std::to_string(i + 1) + " (" + envsys::TrimmedText(parts[i]) +
                     ") is outside 0..1 and is " + "clamped to " + (n.value < 0.0 ? "0" : "1"));
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
                "the system rejects the pattern " + Quoted(v) + " (" + problem + "): no name is formed" + tag);
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

} // namespace envcheck
