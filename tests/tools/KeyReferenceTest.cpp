// The key reference: every schema key described, the tables of
// docs/environment-file.md as the schema makes them, and --explain finding
// the entry of every key name the checker's findings end with.
#if defined(ENVSYS_HAVE_ENVCHECK)
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/envcheck/KeyReference.h"

namespace envcheck {
namespace {

std::string Explained(const std::string& name) {
    std::string text;
    ExplainKey(name, &text);
    return text;
}

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
    std::ostringstream text;
    text << in.rdbuf();
    std::vector<std::string> problems;
    const std::string updated = UpdateReferenceTables(text.str(), &problems);
    EXPECT_EQ(problems, std::vector<std::string>());
    EXPECT_TRUE(updated == text.str()) << "docs/environment-file.md differs from the schema: run scripts/docs.sh";
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

TEST(KeyReference, ExplainFindsKeysByAnySpellingTheFindingsUse) {
    EXPECT_NE(Explained("sky.skypanelcount").find("SkyPanelCount in [Sky]"), std::string::npos);
    EXPECT_NE(Explained("SkyPanelCount").find("default 8; valid: 1..21843"), std::string::npos);
    EXPECT_NE(Explained("Twilight1.SunColor").find("#lightstate-suncolor"), std::string::npos);
    EXPECT_NE(Explained("LensFlare003.Size").find("#lensflare-size"), std::string::npos);
    EXPECT_NE(Explained("lensflare7.fade").find("NONE, NORMAL, REVERSE"), std::string::npos);
    EXPECT_NE(Explained("BaseWindSection.WindChange[02].SpeedRate").find("#windchange-speedrate"), std::string::npos);
    EXPECT_NE(Explained("MyClouds.TextureStage[01].MipMap").find("default TRUE"), std::string::npos);
    EXPECT_NE(Explained("MyClouds.BlendOp").find("BLEND_SRC_ALPHA_ADD_DST"), std::string::npos);
    // A key of two sections gives both; a section gives its keys.
    EXPECT_EQ(FindReferenceEntries("UpdateRate").size(), 2u);
    EXPECT_EQ(FindReferenceEntries("[Gravity]").size(), 2u);
    // Unknown names: the closest key, in the section asked for.
    std::string text;
    EXPECT_FALSE(ExplainKey("Sky.SkyPanelCont", &text));
    EXPECT_EQ(text, "unknown key Sky.SkyPanelCont (did you mean Sky.SkyPanelCount?)\n");
    EXPECT_FALSE(ExplainKey("Latitdue", &text));
    EXPECT_NE(text.find("did you mean Latitude?"), std::string::npos);
    EXPECT_FALSE(ExplainKey("Fog.Acceleration", &text));
    EXPECT_EQ(text, "unknown key Fog.Acceleration (did you mean Acceleration in [Gravity]?)\n");
}

#if !defined(_WIN32)
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
    int named = 0;
    for (const char* file :
         {"values.ini", "model.ini", "references.ini", "names.ini", "gaps.ini", "duplicates.ini", "key_block.ini"}) {
        const std::string command = std::string(ENVSYS_BINARY_DIR) + "/envcheck --root " + ENVSYS_SOURCE_DIR +
                                    "/tests/data/envcheck " + file + " 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        char line[4096];
        while (std::fgets(line, sizeof line, pipe) != nullptr) {
            const std::string message = line, name = NameAtEnd(message);
            if (name.find('.') == std::string::npos) continue;
            ++named;
            std::string text;
            const bool found = ExplainKey(name, &text);
            const bool neverRead = message.find("unknown key") != std::string::npos;
            EXPECT_TRUE(found || neverRead) << file << ": " << message << text;
        }
        pclose(pipe);
    }
    EXPECT_GT(named, 0);
}
#endif

} // namespace
} // namespace envcheck
#endif
