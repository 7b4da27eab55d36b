// The string utilities over std::string, for the tools that read
// configuration text outside a document: white space as StrTrim sees it,
// names compared as the document compares them.
#pragma once

#include <string>
#include <vector>

#include "config/StringUtils.h"
#include "plugin/MultibyteString.h"

namespace envsys {

// StrTrim of a copy.
inline std::string TrimmedText(std::string s) {
    s.resize(StrTrimKnown(&s[0], s.size()));
    return s;
}

// StrTrimRight of a copy: white space only is left as it is.
inline std::string TrimmedRightText(std::string s) {
    s.resize(StrTrimRightKnown(&s[0], s.size()));
    return s;
}

// The text from its first character that is not white space.
inline std::string TrimmedLeftText(const std::string& s) {
    size_t first = 0;
    while (first < s.size() && IsMbcSpace(static_cast<unsigned char>(s[first])) != 0)
        ++first;
    return s.substr(first);
}

// StrToLower of a copy.
inline std::string LowerText(std::string s) {
    StrToLower(&s[0]);
    return s;
}

// StrEqual without regard to case, except that two empty texts are equal:
// a tool compares names it has, not lookups that must miss.
inline bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && (a.empty() || StrEqual(a.c_str(), b.c_str(), 0));
}

// The parts of a list between its separators, untrimmed; "" gives one
// empty part, as the colour and vector readers see it.
inline std::vector<std::string> SplitText(const std::string& s, char separator) {
    std::vector<std::string> parts;
    for (size_t start = 0;;) {
        const size_t at = s.find(separator, start);
        parts.push_back(s.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) return parts;
        start = at + 1;
    }
}

} // namespace envsys
