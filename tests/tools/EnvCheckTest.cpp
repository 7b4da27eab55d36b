// envcheck on small files that each hold one kind of problem: the locations
// it reports, the exit status, and the default environment coming out clean.
#if defined(ENVSYS_HAVE_ENVCHECK)
#include <gtest/gtest.h>
#include <sys/stat.h>
#if !defined(_WIN32)
#include <sys/wait.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "testing/TestHost.h"
#include "tools/envcheck/EnvChecker.h"

namespace envcheck {
namespace {

using envsys::testing::TestFiles;
using envsys::testing::TestHost;

const std::string kFixtures = std::string(ENVSYS_SOURCE_DIR) + "/tests/data/envcheck";

struct Checked {
    int status = -1;
    std::vector<std::string> lines;
    std::string dump;
    std::string tree;

    // "file:line: severity" of every diagnostic, in order.
    std::vector<std::string> Where() const {
        std::vector<std::string> out;
        for (const std::string& l : lines) {
            const size_t kind = l.find(": ");
            const size_t end = l.find(": ", kind + 2);
            out.push_back(l.substr(0, end));
        }
        return out;
    }
    // The "Section.Key" that ends each finding about a key; "" for others.
    std::vector<std::string> Keys() const {
        std::vector<std::string> out;
        for (const std::string& l : lines) {
            const size_t open = l.rfind(" [");
            const bool tagged =
                !l.empty() && l.back() == ']' && open != std::string::npos && l.find('.', open) != std::string::npos;
            out.push_back(tagged ? l.substr(open + 2, l.size() - open - 3) : "");
        }
        return out;
    }
    bool Has(size_t i, const std::string& fragment) const {
        return i < lines.size() && lines[i].find(fragment) != std::string::npos;
    }
};

Checked CheckFile(const std::string& name, const std::function<void(TestFiles&)>& setup = {}, bool checkFiles = true) {
    TestHost host;
    host.files.disk.root = kFixtures;
    if (setup) setup(host.files);
    CheckOptions options;
    options.checkFiles = checkFiles;
    EnvChecker checker(&host.files, &host.mem, options);
    Checked out;
    out.status = checker.Check(name);
    std::string report = checker.Report();
    for (size_t start = 0; start < report.size();) {
        const size_t end = report.find('\n', start);
        out.lines.push_back(report.substr(start, end - start));
        start = end + 1;
    }
    out.dump = checker.Dump();
    out.tree = checker.IncludeTree();
    // The checker gives back everything the configuration library took.
    EXPECT_EQ(host.mem.LiveBlocks("ENV"), 0u);
    EXPECT_EQ(host.files.OpenHandles(), 0);
    return out;
}

using Where = std::vector<std::string>;

TEST(EnvCheck, CleanFileExitsZeroAndDumpsEveryValueWithItsOrigin) {
    const Checked c = CheckFile("clean.ini");
    EXPECT_EQ(c.status, 0) << c.lines.front();
    EXPECT_TRUE(c.lines.empty());
    EXPECT_NE(c.dump.find("UpdateRate = 30"), std::string::npos);
    EXPECT_NE(c.dump.find("; clean.ini:3"), std::string::npos);
    // InclinationAngle is not in the file.
    const size_t inclination = c.dump.find("InclinationAngle = 23.5");
    ASSERT_NE(inclination, std::string::npos);
    EXPECT_EQ(c.dump.substr(c.dump.find(';', inclination), 9), "; default");
    EXPECT_NE(c.dump.find("SunColor = 1, 0.95, 0.9"), std::string::npos);
    EXPECT_NE(c.dump.find("[Sky]  ; not in the file"), std::string::npos);
}

TEST(EnvCheck, DuplicatesNameTheLineThatWins) {
    const Checked c = CheckFile("duplicates.ini");
    EXPECT_EQ(c.Where(), (Where{"duplicates.ini:4: warning", "duplicates.ini:9: warning"}));
    EXPECT_TRUE(c.Has(0, "duplicate key startclear in [Fog] is ignored; the first, at duplicates.ini:2 (100)"));
    EXPECT_TRUE(c.Has(1, "duplicate section [fog] is dropped with all its keys; the first, at duplicates.ini:1"));
    EXPECT_EQ(c.Keys(), (Where{"Fog.startclear", ""}));
    EXPECT_EQ(c.status, 1);
    // What the system sees: the first key of the first section.
    EXPECT_NE(c.dump.find("StartClear = 100"), std::string::npos);
}

TEST(EnvCheck, HashLineEndsTheKeyBlock) {
    const Checked c = CheckFile("key_block.ini");
    EXPECT_EQ(c.Where(), (Where{"key_block.ini:4: warning", "key_block.ini:5: warning"}));
    EXPECT_TRUE(c.Has(0, "the '#' line at line 3 ended the key block of [Fog]"));
    EXPECT_EQ(c.Keys(), (Where{"Fog.EndClear", "Fog.StartOvercast"}));
    EXPECT_NE(c.dump.find("EndClear = 0"), std::string::npos);
}

TEST(EnvCheck, LinesOutsideSectionsAndIndentedHeaders) {
    const Checked c = CheckFile("layout.ini");
    EXPECT_EQ(c.Where(), (Where{"layout.ini:1: warning", "layout.ini:4: warning", "layout.ini:5: warning",
                                "layout.ini:6: warning"}));
    EXPECT_TRUE(c.Has(0, "key line before the first section header is ignored"));
    EXPECT_TRUE(c.Has(1, "'[Gravity]' is not in the first column"));
    EXPECT_TRUE(c.Has(1, "the keys below it stay in [Fog]"));
    // Acceleration landed in [Fog], where nothing reads it.
    EXPECT_TRUE(c.Has(2, "unknown key Acceleration in section [Fog]"));
    EXPECT_TRUE(c.Has(3, "line without '=' is ignored"));
    EXPECT_EQ(c.Keys(), (Where{"", "", "Fog.Acceleration", ""}));
}

TEST(EnvCheck, FileBeginningWithALineBreakIsNotRead) {
    const Checked c = CheckFile("leading_break.ini");
    EXPECT_EQ(c.Where(), (Where{"leading_break.ini:1: error"}));
    EXPECT_TRUE(c.Has(0, "begins with a line break"));
    EXPECT_EQ(c.status, 2);
}

TEST(EnvCheck, IncludeGraphWithMissingFileAndCycleReportedOnce) {
    const Checked c = CheckFile("includes.ini");
    EXPECT_EQ(c.Where(), (Where{"includes.ini:4: error", "include_loop.ini:3: error"}));
    EXPECT_TRUE(c.Has(0, "'no_such_file.ini' cannot be opened"));
    EXPECT_TRUE(c.Has(1, "include cycle includes.ini -> include_loop.ini -> includes.ini"));
    EXPECT_EQ(c.tree, "includes.ini\n"
                      "  include_sub.ini  (includes.ini:3)\n"
                      "  no_such_file.ini  (includes.ini:4)  [not found]\n"
                      "  include_loop.ini  (includes.ini:5)\n"
                      "    includes.ini  (include_loop.ini:3)  [cycle: read again until the text buffer is full]\n");
    // The included sections count: Acceleration comes from include_sub.ini.
    EXPECT_NE(c.dump.find("Acceleration = 9.81"), std::string::npos);
    EXPECT_NE(c.dump.find("include_sub.ini:2"), std::string::npos);
}

TEST(EnvCheck, TextBeyondTheBufferAndIncludesThatFindItFull) {
    // 64-byte lines; the main file takes its length plus a terminator.
    const std::string main = "[Fog]\nStartClear = 1\n#include big.ini\n#include after.ini\n";
    std::string big = "[Gravity]\n";
    while (big.size() < SourceScanner::kCapacity)
        big += "; " + std::string(61, 'x') + "\n";
    const Checked c = CheckFile("main.ini", [&](TestFiles& files) {
        files.Add("main.ini", main);
        files.Add("big.ini", big);
        files.Add("after.ini", "[Weather]\nOvercastLight = 1\n");
    });
    // big.ini gets 0x40000 - (main + 1) bytes: the cut falls inside a line.
    const size_t room = SourceScanner::kCapacity - main.size() - 1;
    const size_t line = (room - 10) / 64 + 2;
    EXPECT_EQ(c.Where(), (Where{"main.ini:4: error", "big.ini:" + std::to_string(line) + ": error"}));
    EXPECT_TRUE(c.Has(0, "'after.ini' is not read: the text buffer"));
    EXPECT_TRUE(c.Has(1, "the text from byte " + std::to_string(room) + " of " + std::to_string(big.size())));
    EXPECT_TRUE(c.Has(1, "this line is cut short"));
}

TEST(EnvCheck, LineNumbersCountCarriageReturnsAsTheEditorDoes) {
    // CR LF is one line break, a lone CR another; a NUL byte ends a line
    // for the parser without starting a new one in the editor.
    const Checked c = CheckFile("crlf.ini", [](TestFiles& files) {
        files.Add("crlf.ini",
                  std::string("[Fog]\r\nStartClear = 1\r\rstartclear = 2\r\nEndClear = 3") + '\0' + "endclear = 4\n");
    });
    EXPECT_EQ(c.Where(), (Where{"crlf.ini:4: warning", "crlf.ini:5: warning"}));
    EXPECT_TRUE(c.Has(0, "duplicate key startclear"));
    EXPECT_TRUE(c.Has(1, "duplicate key endclear"));
}

TEST(EnvCheck, UnknownNamesGetSuggestionsIndexedNamesIncluded) {
    const Checked c = CheckFile("names.ini", {}, false);
    EXPECT_EQ(c.Where(), (Where{"names.ini:1: warning", "names.ini:4: warning", "names.ini:8: warning",
                                "names.ini:9: warning", "names.ini:10: warning"}));
    EXPECT_TRUE(c.Has(0, "unknown section [Skye] is never read (did you mean [Sky]?)"));
    EXPECT_TRUE(c.Has(1, "(did you mean SkyPanelCount?)"));
    EXPECT_TRUE(c.Has(2, "(did you mean WindChange[01].SpeedRate?)"));
    EXPECT_TRUE(c.Has(3, "(did you mean WindChange[01].ChangeChance?)"));
    EXPECT_TRUE(c.Has(4, "(did you mean [LensFlare001]?)"));
    // Numbered keys are named as written, for --explain to map.
    EXPECT_EQ(c.Keys(), (Where{"", "Sky.SkyPanelCont", "BaseWindSection.WindChange[01].SpeedRat",
                               "BaseWindSection.WindChange[1].ChangeChance", ""}));
}

TEST(EnvCheck, GapsEndNumberedListsEarly) {
    const Checked c = CheckFile("gaps.ini");
    EXPECT_EQ(c.Where(), (Where{"gaps.ini:5: warning", "gaps.ini:10: warning", "gaps.ini:11: warning"}));
    EXPECT_TRUE(c.Has(0, "LensFlare003 is missing, so the list ends at 2"));
    EXPECT_TRUE(c.Has(1, "WindChange[03].ChangeTime is missing, so the list ends at 2"));
    EXPECT_EQ(c.Keys(),
              (Where{"", "BaseWindSection.WindChange[04].ChangeTime", "BaseWindSection.WindChange[04].SpeedRate"}));
}

TEST(EnvCheck, ValuesThatReadOtherwiseThanWritten) {
    const Checked c = CheckFile("values.ini", {}, false);
    EXPECT_EQ(c.Where(), (Where{"values.ini:2: warning", "values.ini:3: warning", "values.ini:4: warning",
                                "values.ini:5: warning", "values.ini:6: warning", "values.ini:6: warning",
                                "values.ini:8: warning", "values.ini:12: warning", "values.ini:15: warning",
                                "values.ini:16: error", "values.ini:19: warning"}));
    EXPECT_TRUE(c.Has(0, "'Yes' is not a number: it reads as 0"));
    EXPECT_TRUE(c.Has(1, "'12.5abc' reads as 12.5; 'abc' after it is ignored"));
    EXPECT_TRUE(c.Has(2, "has no value: it reads as 0"));
    EXPECT_TRUE(c.Has(3, "fewer than three components"));
    EXPECT_TRUE(c.Has(4, "component 1 (1.5) is outside 0..1 and is clamped to 1"));
    EXPECT_TRUE(c.Has(5, "component 3 (-2) is outside 0..1 and is clamped to 0"));
    EXPECT_TRUE(c.Has(6, "'7.5' is not a whole number: it reads as 7"));
    EXPECT_TRUE(c.Has(7, "'Yes' is not TRUE, FALSE or a number: it reads as false"));
    EXPECT_TRUE(c.Has(8, "'modulte' is not a BlendOp word: it reads as ZERO (did you mean MODULATE?)"));
    EXPECT_TRUE(c.Has(9, "NumTextureStages 9 is outside 0..8"));
    EXPECT_TRUE(c.Has(10, "component 4 (2) is outside 0..1"));
    // Material keys are named by their material section.
    EXPECT_EQ(c.Keys(), (Where{"Fog.StartClear", "Fog.EndClear", "Fog.StartOvercast", "Fog.OvercastColor",
                               "Fog.CloudColor", "Fog.CloudColor", "Sky.SkyPanelCount", "SkyMaterial.LightEnabled",
                               "SkyMaterial.BlendOp", "SkyMaterial.NumTextureStages", "LensFlare001.Color"}));
    // The dump shows the clamped colour the system stores.
    EXPECT_NE(c.dump.find("CloudColor = 1, 0.5, 0"), std::string::npos);
    EXPECT_NE(c.dump.find("Fade = REVERSE"), std::string::npos);
}

TEST(EnvCheck, ValuesTheModelDividesBy) {
    const Checked c = CheckFile("model.ini", {}, false);
    EXPECT_EQ(c.Where(),
              (Where{"model.ini:2: warning", "model.ini:8: error", "model.ini:12: error", "model.ini:16: error"}));
    EXPECT_TRUE(c.Has(0, "recomputed on every frame"));
    EXPECT_TRUE(c.Has(1, "Twilight2.SunHeight (0.1) is not below Twilight1.SunHeight (0.1)"));
    EXPECT_TRUE(c.Has(2, "Stars.UpdateRate is not above 0"));
    EXPECT_TRUE(c.Has(3, "CloudLayer.TileSize is 0"));
    EXPECT_EQ(c.Keys(), (Where{"EnvironmentSystem.UpdateRate", "Twilight2.SunHeight", "Stars.UpdateRate",
                               "CloudLayer.TileSize"}));
}

// Adds every texture the references fixture forms, less the ones named.
void AddTextures(TestFiles& files, const std::vector<std::string>& missing) {
    std::vector<std::string> names;
    for (int level = 1; level <= 5; ++level)
        for (int panel = 1; panel <= 8; ++panel)
            names.push_back("textures/band" + std::to_string(level) + "_" + std::to_string(panel) + ".dds");
    for (const char* n : {"textures/top4.dds", "textures/top5.dds", "textures/refl0_0.dds", "textures/refl0_1.dds",
                          "textures/refl1_0.dds", "textures/refl1_1.dds"})
        names.push_back(n);
    for (const std::string& n : names)
        if (std::find(missing.begin(), missing.end(), n) == missing.end()) files.Add(n, "texture");
}

std::string StarFile(int32_t count, int records, char cls = 'G') {
    std::string bytes(reinterpret_cast<const char*>(&count), 4);
    for (int i = 0; i < records; ++i) {
        const float values[3] = {10.0f * static_cast<float>(i), 5.0f, 1.0f};
        bytes.append(reinterpret_cast<const char*>(values), 12);
        bytes += std::string{cls, 0, 0, 0};
    }
    return bytes;
}

TEST(EnvCheck, ReferencesToMaterialsPatternsTexturesAndTheStarFile) {
    const Checked c = CheckFile("references.ini", [](TestFiles& files) {
        AddTextures(files, {"textures/band3_2.dds", "textures/refl1_0.dds"});
        files.Add("stars.dat", StarFile(3, 2));
    });
    EXPECT_EQ(c.Where(), (Where{"references.ini:3: error", "references.ini:4: error", "references.ini:9: error",
                                "references.ini:12: error", "references.ini:16: error", "references.ini:19: error"}));
    EXPECT_TRUE(c.Has(0, "[BandMaterial], which this key names, does not exist"));
    EXPECT_TRUE(c.Has(1, "1 texture file not found: textures\\band3_2.dds"));
    EXPECT_TRUE(c.Has(2, "rejects the pattern 'textures\\twilight%s.dds' (%s is not an integer conversion)"));
    EXPECT_TRUE(c.Has(3, "it has 2 conversions but is given only 1 number"));
    EXPECT_TRUE(c.Has(4, "1 texture file not found: textures\\refl1_0.dds"));
    EXPECT_TRUE(c.Has(5, "announces 3 stars (52 bytes) but holds 36 bytes"));
    EXPECT_EQ(c.Keys(), (Where{"Sky.HorizonCloud", "Sky.HorizonCloudTexture", "Sun.TwilightSunFormat",
                               "CloudLayer.BottomTexture", "Reflection.TextureNameFormat", "Stars.StarDataFile"}));
}

TEST(EnvCheck, StarFileWithExtraBytesAndUnknownClasses) {
    const Checked c = CheckFile("references.ini", [](TestFiles& files) {
        AddTextures(files, {});
        files.Add("textures/band3_2.dds", "");
        files.Add("BandMaterial.ini", "");
        files.Add("stars.dat", StarFile(2, 2, 'X') + "xyz");
    });
    ASSERT_GE(c.lines.size(), 2u);
    EXPECT_TRUE(c.Has(c.lines.size() - 2, "references.ini:19: warning: '.\\stars.dat' holds 3 bytes after its 2 "
                                          "stars"));
    EXPECT_TRUE(c.Has(c.lines.size() - 1, "2 stars have a class letter other than"));
}

TEST(EnvCheck, PatternRules) {
    std::string why;
    EXPECT_EQ(AnalysePattern("band%02d_%d.dds", 2, &why), 2);
    EXPECT_EQ(AnalysePattern("100%%_%-3x", 1, &why), 1);
    EXPECT_EQ(AnalysePattern("%ld", 1, &why), -1);
    EXPECT_EQ(why, "the length modifier 'l' is not accepted");
    EXPECT_EQ(AnalysePattern("%*d", 2, &why), -1);
    EXPECT_EQ(AnalysePattern("%n", 2, &why), -1);
    EXPECT_EQ(AnalysePattern("tail%", 1, &why), -1);
    // Padding beyond a name buffer and combinations printf leaves undefined.
    EXPECT_EQ(AnalysePattern("%260d", 1, &why), -1);
    EXPECT_EQ(why, "a width above 259 is not accepted");
    EXPECT_EQ(AnalysePattern("%259d", 1, &why), 1);
    EXPECT_EQ(AnalysePattern("%#d", 1, &why), -1);
    EXPECT_EQ(AnalysePattern("%05c", 1, &why), -1);
}

// The tool run through the platform's command processor, its output and
// exit status collected.
int RunTool(const std::string& arguments, std::string* output) {
    std::string program = std::string(ENVSYS_BINARY_DIR) + "/envcheck";
#if defined(_WIN32)
    std::replace(program.begin(), program.end(), '/', '\\');
    FILE* pipe = _popen((program + " " + arguments + " 2>&1").c_str(), "rb");
#else
    FILE* pipe = popen((program + " " + arguments + " 2>&1").c_str(), "r");
#endif
    if (pipe == nullptr) return -1;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output->append(buffer, n);
#if defined(_WIN32)
    return _pclose(pipe); // the command's own exit code
#else
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

TEST(EnvCheck, CommandLineExitStatusAndHelp) {
    std::string out;
    EXPECT_EQ(RunTool("--help", &out), 0);
    EXPECT_NE(out.find("--dump"), std::string::npos);
    out.clear();
    EXPECT_EQ(RunTool("--root " + kFixtures + " clean.ini", &out), 0);
    EXPECT_EQ(out, "");
    out.clear();
    EXPECT_EQ(RunTool("--root " + kFixtures + " duplicates.ini", &out), 1);
    EXPECT_EQ(out.compare(0, 18, "duplicates.ini:4: "), 0) << out;
    out.clear();
    EXPECT_EQ(RunTool("--root " + kFixtures + " --no-files references.ini", &out), 2);
    out.clear();
    EXPECT_EQ(RunTool("--root " + kFixtures + " nothing_here.ini", &out), 2);
    EXPECT_NE(out.find("nothing_here.ini: error: Environment File not found"), std::string::npos);
}

// The default environment, as the build assembles it next to envhost
// (its textures and star data file are generated), must come out clean.
TEST(EnvCheck, DefaultEnvironmentIsClean) {
    const std::string root = std::string(ENVSYS_BINARY_DIR) + "/data/default";
    struct stat st {};
    if (stat((root + "/environment.ini").c_str(), &st) != 0) GTEST_SKIP() << "no default environment built";
    std::string out;
    EXPECT_EQ(RunTool("--root " + root + " environment.ini", &out), 0) << out;
}

} // namespace
} // namespace envcheck
#endif
