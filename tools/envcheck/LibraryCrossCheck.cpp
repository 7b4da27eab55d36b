// The cross-check of the checker's own reading of the file against the
// configuration library's: both must find the same sections, keys and values.
#include "tools/envcheck/EnvChecker.h"

#include <algorithm>
#include <cmath>

#include "config/IniFile.h"
#include "config/NumberText.h"
#include "tools/envcheck/CheckText.h"

namespace envcheck {

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
                differences.push_back("the configuration library " + problem + " for this key" +
                                      KeyTag(s.name, k.name));
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

} // namespace envcheck
