#include "tools/envcheck/CheckText.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "config/IniFile.h"
#include "config/NumberText.h"
#include "config/StdStringUtils.h"
#include "config/StringUtils.h"
#include "tools/envcheck/Schema.h"

namespace envcheck {

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

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

bool FormatName(const std::string& pattern, const std::vector<int>& args, std::string* name) {
    char buf[envsys::kNameBufferSize];
    const int a = !args.empty() ? args[0] : 0;
    const int b = args.size() > 1 ? args[1] : 0;
    const bool ok =
        envsys::FormatIntegerPattern(buf, sizeof buf, pattern.c_str(), static_cast<int32_t>(args.size()), a, b);
    *name = buf;
    return ok;
}

ParsedNumber ParseFloat(const std::string& text) {
    ParsedNumber out;
    const std::string t = envsys::TrimmedText(text);
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

std::string KeyTag(const std::string& section, const std::string& key) { return " [" + section + "." + key + "]"; }

} // namespace envcheck
