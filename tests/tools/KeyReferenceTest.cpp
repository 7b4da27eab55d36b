// The key reference: every schema key described, the tables of
// docs/environment-file.md as the schema makes them, and --explain finding
// the entry of every key name the checker's findings end with.
#if defined(ENVSYS_HAVE_ENVCHECK)
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/envcheck/KeyReference.h"

namespace envcheck {
namespace {

TEST(KeyReference, EverySchemaKeyIsDescribed) {
    EXPECT_EQ(MissingDescriptions(), std::vector<std::string>());
    // Every key the loaders read has its row: one per fixed section key.
    for (const SectionSpec& s : FixedSections())
        for (const KeySpec& k : s.keys)
            EXPECT_FALSE(FindReferenceEntries(s.name + "." + k.name).empty()) << s.name << "." << k.name;
}

TEST(KeyReference, DocumentTablesAreGeneratedFromTheSchema) {
    const std::string path = std::string(ENVSYS_SOURCE_DIR) + "/docs/environment-file.md";
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << path;
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<std::string> problems;
    const std::string updated = UpdateReferenceTables(text, &problems);
    EXPECT_EQ(problems, std::vector<std::string>());
    EXPECT_TRUE(updated == text) << "docs/environment-file.md differs from the schema: run scripts/docs.sh";
}

TEST(KeyReference, TablesReplaceWhatIsBetweenTheirMarkersAndReportStrayOnes) {
    std::vector<std::string> problems;
    const std::string out = UpdateReferenceTables("a\n<!-- keys:Gravity begin -->\nold\n<!-- keys:Gravity end -->\nb\n"
                                                  "<!-- keys:Nowhere begin -->\nx\n<!-- keys:Nowhere end -->\n",
                                                  &problems);
    EXPECT_EQ(out.substr(0, 35), "a\n<!-- keys:Gravity begin -->\n| Key");
    EXPECT_NE(out.find("| <a id=\"gravity-forcevector\"></a>`ForceVector` | vector x, y, z | 0,0,0 |"),
              std::string::npos);
    EXPECT_EQ(out.find("old"), std::string::npos);
    EXPECT_NE(out.find("|\n<!-- keys:Gravity end -->\nb\n<!-- keys:Nowhere begin -->\nx\n"), std::string::npos);
    auto has = [&](const std::string& p) { return std::find(problems.begin(), problems.end(), p) != problems.end(); };
    EXPECT_TRUE(has("no section group Nowhere"));
    EXPECT_TRUE(has("no table of Sky"));
    EXPECT_FALSE(has("no table of Gravity"));
    problems.clear();
    UpdateReferenceTables("<!-- keys:Sky begin -->\n| stale |\n", &problems);
    EXPECT_TRUE(has("Sky has no end marker"));
}

// What --explain says for names spelled as the findings spell them, and for
// unknown ones the closest key, in the section asked for: the text kept in
// tests/data/envcheck/explain.expected (ENVSYS_UPDATE_EXPECTED=1 rewrites it).
TEST(KeyReference, ExplainFindsKeysByAnySpellingTheFindingsUse) {
    std::string all;
    for (const char* name :
         {"sky.skypanelcount", "SkyPanelCount", "Twilight1.SunColor", "LensFlare003.Size", "lensflare7.fade",
          "BaseWindSection.WindChange[02].SpeedRate", "MyClouds.TextureStage[01].MipMap", "MyClouds.BlendOp",
          "Sky.SkyPanelCont", "Latitdue", "Fog.Acceleration"}) {
        std::string text;
        all += std::string(ExplainKey(name, &text) ? "== " : "== not found: ") + name + "\n" + text;
    }
    const std::string path = std::string(ENVSYS_SOURCE_DIR) + "/tests/data/envcheck/explain.expected";
    std::ifstream in(path, std::ios::binary);
    const std::string kept{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (std::getenv("ENVSYS_UPDATE_EXPECTED") != nullptr) std::ofstream(path, std::ios::binary) << all;
    EXPECT_EQ(all, kept) << path;
    // A key of two sections gives both; a section gives its keys.
    EXPECT_EQ(FindReferenceEntries("UpdateRate").size(), 2u);
    EXPECT_EQ(FindReferenceEntries("[Gravity]").size(), 2u);
}

// The key name a finding ends with: " [Section.Key]" (section names may
// hold blanks, keys brackets), or a last word of the form Section.Key.
std::string NameAtEnd(std::string message) {
    while (!message.empty() && std::isspace(static_cast<unsigned char>(message.back())))
        message.pop_back();
    if (!message.empty() && message.back() == ']') {
        int depth = 0;
        for (size_t i = message.size(); i-- > 0;) {
            depth += message[i] == ']' ? 1 : message[i] == '[' ? -1 : 0;
            if (depth == 0) return i > 0 && message[i - 1] == ' ' ? message.substr(i + 1, message.size() - i - 2) : "";
        }
        return "";
    }
    std::string last = message.substr(message.find_last_of(' ') + 1);
    while (!last.empty() && std::string(").?:,").find(last.back()) != std::string::npos)
        last.pop_back();
    const std::string ext = last.substr(last.rfind('.') + 1);
    if (last.find('.') == std::string::npos || !std::isalpha(static_cast<unsigned char>(last[0])) ||
        last.find_first_of("\\/'\"") != std::string::npos ||
        std::string(" ini png dat dds bmp tga jpg ").find(" " + ext + " ") != std::string::npos)
        return "";
    return last;
}

// Every finding about a key ends with its name; --explain takes that name
// as it stands: the entry, or for a key the system never reads the closest.
TEST(KeyReference, ExplainAcceptsTheNameEveryFindingEndsWith) {
    EXPECT_EQ(NameAtEnd("x is 0 [BaseWindSection.WindChange[02].SpeedRate]"),
              "BaseWindSection.WindChange[02].SpeedRate");
    EXPECT_EQ(NameAtEnd("x [Sky Material.BlendOp]"), "Sky Material.BlendOp");
    // The reports kept beside the envcheck fixtures, which EnvCheckTest
    // holds to what the checker says.
    int named = 0;
    for (const char* report : {"values", "model", "references", "references_extra", "names", "gaps", "duplicates",
                               "key_block", "layout", "leading_break", "includes", "buffer", "crlf"}) {
        std::ifstream in(std::string(ENVSYS_SOURCE_DIR) + "/tests/data/envcheck/" + report + ".expected");
        ASSERT_TRUE(in) << report;
        for (std::string message; std::getline(in, message);) {
            const std::string name = NameAtEnd(message);
            if (name.find('.') == std::string::npos) continue;
            ++named;
            std::string text;
            const bool found = ExplainKey(name, &text);
            const bool neverRead = message.find("unknown key") != std::string::npos;
            EXPECT_TRUE(found || neverRead) << report << ": " << message << text;
        }
    }
    EXPECT_GT(named, 0);
}

} // namespace
} // namespace envcheck
#endif
