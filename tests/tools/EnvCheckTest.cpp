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
#include <cstdlib>
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
    std::string report;
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
    const std::string report = checker.Report();
    out.report = report;
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

// Beside each fixture X.ini the report envcheck must give (X.expected),
// and for some the value dump (X.dump) and the include tree (X.tree). The
// exit status is that of the worst finding: 0 none, 1 warnings, 2 errors.
// ENVSYS_UPDATE_EXPECTED=1 writes what the checker says now, to review
// with git diff.
TEST(EnvCheck, ReportsDumpsAndTreesAreTheExpectedOnes) {
    const bool update = std::getenv("ENVSYS_UPDATE_EXPECTED") != nullptr;
    for (const char* name : {"clean", "duplicates", "gaps", "includes", "key_block", "layout", "leading_break", "model",
                             "names", "values"}) {
        SCOPED_TRACE(name);
        const Checked c = CheckFile(std::string(name) + ".ini", {}, false);
        for (const auto& output : {std::make_pair(".expected", c.report), std::make_pair(".dump", c.dump),
                                   std::make_pair(".tree", c.tree)}) {
            const std::string path = kFixtures + "/" + name + output.first;
            std::ifstream in(path, std::ios::binary);
            if (!in && std::string(output.first) != ".expected") continue;
            const std::string expected{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            if (update) std::ofstream(path, std::ios::binary) << output.second;
            EXPECT_EQ(output.second, expected) << path;
        }
        const bool errors = c.report.find(": error: ") != std::string::npos;
        EXPECT_EQ(c.status, errors ? 2 : c.report.find(": warning: ") != std::string::npos ? 1 : 0);
    }
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
