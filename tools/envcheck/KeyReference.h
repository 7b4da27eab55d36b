// The artists' reference of every section and key an Environment File can
// hold: the schema's names, types and defaults joined with a description
// and the valid range of each key. Gives the Markdown tables of
// docs/environment-file.md and the text of `envcheck --explain`.
#pragma once

#include <string>
#include <vector>

#include "tools/envcheck/Schema.h"

namespace envcheck {

// One key of the reference: a key of a section group of the schema.
struct ReferenceEntry {
    std::string group;      // "Sky", "LightState", "LensFlare", "WindChange", "Material", "TextureStage" ...
    std::string name;       // as written in a file: "SkyPanelCount", "WindChange[NN].ChangeTime"
    std::string where;      // the sections it is written in: "[Sky]", "[Day], [Twilight1], ..."
    std::string anchor;     // the id of its row in the reference: "sky-skypanelcount"
    std::string type;       // for a person: "whole number", "colour r, g, b" ...
    std::string def;        // the schema's default
    std::string range;      // valid values
    std::string text;       // what it does and what goes wrong outside the range (Markdown)
    const KeySpec* keySpec; // the schema entry
};

// Every key of the schema with its description, one entry per group and
// key, in the order of the groups. Keys without a description get an empty
// text and are listed by MissingDescriptions.
const std::vector<ReferenceEntry>& ReferenceEntries();

// "Group.Key" of every schema key that has no description, and of every
// description that names no schema key.
std::vector<std::string> MissingDescriptions();

// The groups that have a table, in order ("EnvironmentSystem", "LightState", ...).
std::vector<std::string> ReferenceGroups();

// The Markdown table of one group.
std::string ReferenceTable(const std::string& group);

// The document with the text between every "<!-- keys:GROUP begin -->" and
// "<!-- keys:GROUP end -->" pair replaced by that group's table. Unknown
// groups, unpaired markers and groups without markers are listed in problems.
std::string UpdateReferenceTables(const std::string& document, std::vector<std::string>* problems);

// The entries a name given to --explain stands for, without regard to case:
// "KEY", "SECTION.KEY" as the checker's findings print it (material sections
// by any name, numbered sections and keys such as LensFlare003.Size,
// LensFlare3.Size, BaseWindSection.WindChange[02].SpeedRate,
// MyMaterial.TextureStage[01].MipMap), or a section name for its whole group.
std::vector<const ReferenceEntry*> FindReferenceEntries(const std::string& query);

// The terminal text of --explain: the entries' descriptions, or "unknown
// key" with the closest name. Gives false for an unknown name.
bool ExplainKey(const std::string& name, std::string* text);

// envcheck's --explain NAME (printed to stdout, or the suggestion to
// stderr) and --reference DOCUMENT (the document printed with fresh tables,
// problems to stderr). Gives the exit status, or -1 when neither is asked.
int ReferenceCommand(const std::string& explain, const std::string& referenceDocument);

} // namespace envcheck
