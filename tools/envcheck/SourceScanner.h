// A line-aware pass over an Environment File and its includes that follows
// the configuration parser's rules step by step (one read per file into a
// shared text buffer, lines split at CR, LF and NUL, key blocks ended by "["
// and "#" lines, first section and first key of a name win, includes loaded
// depth first after the including file) and keeps the file and line of every
// section and key, which the configuration library does not.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "config/IniFile.h"
#include "envsys/HostServices.h"

namespace envcheck {

enum class Severity { Note = 0, Warning = 1, Error = 2 };

struct Location {
    int file = -1; // index into SourceScanner::files; -1 for none
    int line = 0;  // from 1; 0 for the whole file
};

struct Diagnostic {
    Location at;
    Severity severity;
    std::string message;
};

struct ScannedKey {
    std::string name;  // trimmed
    std::string value; // trimmed
    bool hasValue = false;
    Location at;
};

struct ScannedSection {
    std::string name; // as between the brackets, not trimmed
    Location at;
    std::vector<ScannedKey> keys; // the keys the parser keeps, in file order
    bool reread = false;          // made by a second reading (a cycle's cut-off header, an empty name)
};

struct SourceFile {
    std::string name;    // as the system names it (the include text as written)
    Location includedAt; // the directive, or none for the Environment File
    int parent = -1;     // the including file
    bool opened = false;
    bool reread = false;  // read before: everything in it is a duplicate
    bool cycle = false;   // included by a file it leads to
    size_t size = 0;      // bytes in the file
    size_t bytesRead = 0; // bytes the parser's one read takes
};

class SourceScanner {
public:
    // The text capacity of a document, shared by the file and its includes.
    static constexpr uint32_t kCapacity = envsys::kDocumentTextCapacity;

    explicit SourceScanner(envsys::FileService* files) : files_(files) {}

    // Scans the Environment File (by the name the system opens) and,
    // through it, every include. Messages name the file by displayName.
    void Scan(const std::string& systemName, const std::string& displayName);

    // The name messages use for a file of the scan.
    std::string DisplayName(int file) const;

    // The kept section of that name (without regard to case), or null.
    const ScannedSection* FindSection(const std::string& name) const;
    const ScannedKey* FindKey(const std::string& section, const std::string& key) const;

    // The include graph as an indented tree, one file a line.
    std::string IncludeTree() const;

    std::vector<SourceFile> files;
    std::vector<ScannedSection> sections;
    std::vector<Diagnostic> diagnostics;

private:
    struct Include {
        std::string name;
        Location at;
        int parent; // the including file
        bool quiet; // named by a file read a second time
    };
    void Load(const Include& include, std::vector<Include>* includes);
    void Parse(int fileIndex, const std::string& bytes, size_t count, std::vector<Include>* includes);
    bool ReadAll(const std::string& name, std::string* bytes);
    void Report(int file, int line, Severity severity, std::string message);

    envsys::FileService* files_;
    std::string displayName_;
    std::map<std::string, std::string> contents_; // bytes of every file read, by name
    std::set<std::string> parsed_;                // files whose text the parser took
    uint32_t used_ = 0;                           // bytes of the shared buffer in use
    Location cycleAt_;                            // the include that closed a cycle
    bool quiet_ = false;                          // inside a re-read file: its problems were reported already
};

} // namespace envcheck
