// Checks an Environment File the way the EnvironmentSystem will read it:
// what the parser drops, sections and keys the system never reads, values
// that read differently from what the author wrote, and the files the
// system will ask for. Values come from the project's configuration library
// (cross-checked against the line-aware SourceScanner, which supplies the
// locations).
#pragma once

#include <string>
#include <vector>

#include "envsys/HostServices.h"
#include "testing/CachedFiles.h"
#include "tools/envcheck/Schema.h"
#include "tools/envcheck/SourceScanner.h"

namespace envcheck {

struct CheckOptions {
    bool checkFiles = true; // look for textures and the star data file
};

class EnvChecker {
public:
    EnvChecker(envsys::FileService* files, envsys::MemoryService* memory, CheckOptions options = {});

    // Checks the file the host would hand to LoadEnvironment. Returns the
    // exit status: 0 clean, 1 warnings, 2 errors.
    int Check(const std::string& fileName);

    // One line per diagnostic, "file:line: warning: text", in file order.
    std::string Report() const;
    // The effective settings of every section the system reads, each value
    // with the file and line it came from or "default".
    const std::string& Dump() const { return dump_; }
    std::string IncludeTree() const { return scanner_.IncludeTree(); }

    const std::vector<Diagnostic>& diagnostics() const { return diagnostics_; }
    const SourceScanner& scanner() const { return scanner_; }
    // The display name of a file of the scan ("" for none).
    std::string FileName(int file) const;

private:
    struct Reference {
        std::string section; // the material section named
        std::string by;      // "Sky.SkyMaterial"
        Location at;
    };

    // One checker over one scan, its checks defined by idea: EnvChecker.cpp
    // runs them and reports; LibraryCrossCheck.cpp, SectionChecks.cpp (which
    // sections and keys are read), ValueChecks.cpp (what a value reads as),
    // ModelChecks.cpp (values the model cannot use), ReferenceChecks.cpp
    // (materials, textures, the star file) and SettingsDump.cpp.
    void Add(Location at, Severity severity, std::string message);
    void CrossCheck(class envsys::IniFile* doc);
    void CheckSections();
    void CheckKeys(const ScannedSection& section, const SectionSpec& keySpec, const std::string& kind);
    void CheckValue(const std::string& owner, const KeySpec& keySpec, const ScannedKey& key);
    void CheckMaterial(const ScannedSection& section);
    void CheckWind(const ScannedSection& section);
    void CheckModel();
    void CheckReferences();
    void CheckTextures(const ScannedKey* key, const std::string& owner, const std::vector<std::vector<int>>& args,
                       int nameLimit);
    void CheckStarFile(const ScannedKey& key);
    void BuildDump(class envsys::IniFile* doc);

    // What a float, integer or text key reads as, missing keys giving def.
    float FloatOf(const std::string& section, const std::string& key, float def) const;
    long IntOf(const std::string& section, const std::string& key, long def) const;
    std::string TextOf(const std::string& section, const std::string& key) const;
    Location WhereOf(const std::string& section, const std::string& key) const;

    envsys::testing::CachedFiles files_; // every file read once, for the library and the scanner alike
    envsys::MemoryService* memory_;
    CheckOptions options_;
    std::string userName_;
    SourceScanner scanner_;
    std::vector<Diagnostic> diagnostics_;
    std::vector<Reference> materials_;
    int lensFlareCount_ = 0;
    int windChangeCount_ = 0;
    std::string dump_;
};

// Checks a printf pattern by the rules the system formats texture names
// with: integer conversions only (d i u x X o c with flags, width and
// precision; no '*', no length modifier), "%%", and at most argCount
// conversions. Gives the number of conversions, or -1 with the reason.
int AnalysePattern(const std::string& pattern, int argCount, std::string* problem);

} // namespace envcheck
