#include "tools/envcheck/EnvChecker.h"

#include <algorithm>
#include <cstring>

#include "config/IniFile.h"
#include "config/NumberText.h"
#include "config/StringUtils.h"
#include "plugin/PluginState.h"
#include "tools/envcheck/CheckText.h"

namespace envcheck {

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
