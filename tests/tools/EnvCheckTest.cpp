// envcheck on small files that each hold one kind of problem: the locations
// it reports, the exit status, and the default environment coming out clean.
#if defined(ENVSYS_HAVE_ENVCHECK)
#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sys/wait.h>
#endif

#include <algorithm>
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
    std::string report;
    std::string dump;
    std::string tree;
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
    out.report = checker.Report();
    out.dump = checker.Dump();
    out.tree = checker.IncludeTree();
    // The checker gives back everything the configuration library took.
    EXPECT_EQ(host.mem.LiveBlocks("ENV"), 0u);
    EXPECT_EQ(host.files.OpenHandles(), 0);
    return out;
}

// What the checker says must be the text kept in tests/data/envcheck/name;
// ENVSYS_UPDATE_EXPECTED=1 writes what it says now, to review with git diff.
// A missing file expects nothing unless it is a report (.expected).
void ExpectKept(const std::string& name, const std::string& actual) {
    const std::string path = kFixtures + "/" + name;
    std::ifstream in(path, std::ios::binary);
    if (!in && name.find(".expected") == std::string::npos) return;
    const std::string expected{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (std::getenv("ENVSYS_UPDATE_EXPECTED") != nullptr) std::ofstream(path, std::ios::binary) << actual;
    EXPECT_EQ(actual, expected) << path;
}

// Beside each fixture X.ini the report envcheck must give (X.expected),
// and for some the value dump (X.dump) and the include tree (X.tree). The
// exit status is that of the worst finding: 0 none, 1 warnings, 2 errors.
TEST(EnvCheck, ReportsDumpsAndTreesAreTheExpectedOnes) {
    for (const char* name : {"clean", "duplicates", "gaps", "includes", "key_block", "layout", "leading_break", "model",
                             "names", "values"}) {
        SCOPED_TRACE(name);
        const Checked c = CheckFile(std::string(name) + ".ini", {}, false);
        ExpectKept(std::string(name) + ".expected", c.report);
        ExpectKept(std::string(name) + ".dump", c.dump);
        ExpectKept(std::string(name) + ".tree", c.tree);
        const bool errors = c.report.find(": error: ") != std::string::npos;
        EXPECT_EQ(c.status, errors ? 2 : c.report.find(": warning: ") != std::string::npos ? 1 : 0);
    }
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

// Reports of files the test forms, as kept beside the fixtures.
TEST(EnvCheck, BufferLineBreaksReferencesAndTheStarFile) {
    // The main file and big.ini fill the text buffer (0x40000 bytes with a
    // terminator after each file) so that the cut falls inside a line of
    // big.ini and after.ini finds no room.
    std::string big = "[Gravity]\n";
    while (big.size() < SourceScanner::kCapacity)
        big += "; " + std::string(61, 'x') + "\n";
    ExpectKept("buffer.expected", CheckFile("main.ini", [&](TestFiles& files) {
                                      files.Add("main.ini",
                                                "[Fog]\nStartClear = 1\n#include big.ini\n#include after.ini\n");
                                      files.Add("big.ini", big);
                                      files.Add("after.ini", "[Weather]\nOvercastLight = 1\n");
                                  }).report);
    // CR LF is one line break, a lone CR another; a NUL byte ends a line for
    // the parser without starting a new one in the editor.
    ExpectKept("crlf.expected", CheckFile("crlf.ini", [](TestFiles& files) {
                                    files.Add("crlf.ini",
                                              std::string("[Fog]\r\nStartClear = 1\r\rstartclear = 2\r\nEndClear = 3") +
                                                  '\0' + "endclear = 4\n");
                                }).report);
    // A missing material section and texture files, patterns printf would
    // misread, and a star file shorter than its count; then the same with
    // every file there but a star file with bytes to spare and unknown
    // classes.
    ExpectKept("references.expected", CheckFile("references.ini", [](TestFiles& files) {
                                          AddTextures(files, {"textures/band3_2.dds", "textures/refl1_0.dds"});
                                          files.Add("stars.dat", StarFile(3, 2));
                                      }).report);
    ExpectKept("references_extra.expected", CheckFile("references.ini", [](TestFiles& files) {
                                                AddTextures(files, {});
                                                files.Add("textures/band3_2.dds", "");
                                                files.Add("BandMaterial.ini", "");
                                                files.Add("stars.dat", StarFile(2, 2, 'X') + "xyz");
                                            }).report);
}

// How a pattern is taken with the numbers given: its conversions, or -1
// and why not (padding beyond a name buffer and combinations printf leaves
// undefined are refused), as kept in patterns.expected.
TEST(EnvCheck, PatternRules) {
    std::string all;
    // Each case is the count of numbers given, a blank and the pattern.
    for (const std::string c : {"2 band%02d_%d.dds", "1 100%%_%-3x", "1 %ld", "2 %*d", "2 %n", "1 tail%", "1 %260d",
                                "1 %259d", "1 %#d", "1 %05c"}) {
        std::string why;
        all += c + ": " + std::to_string(AnalysePattern(c.substr(2), c[0] - '0', &why)) + " " + why + "\n";
    }
    ExpectKept("patterns.expected", all);
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
    // The tool's standard output is in text mode: its lines end in CR LF.
    for (size_t at; (at = output->find("\r\n")) != std::string::npos;)
        output->erase(at, 1);
    return _pclose(pipe); // the command's own exit code
#else
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

// The help; then each command line with its exit status and output, as kept
// in command_line.expected: a clean file (no output), warnings (1), errors
// (2) and a file that is not there (2).
TEST(EnvCheck, CommandLineExitStatusAndHelp) {
    std::string all;
    EXPECT_EQ(RunTool("--help", &all), 0);
    EXPECT_NE(all.find("--dump"), std::string::npos);
    all.clear();
    for (const std::string arguments :
         {"clean.ini", "duplicates.ini", "--no-files references.ini", "nothing_here.ini"}) {
        std::string out;
        const int status = RunTool("--root " + kFixtures + " " + arguments, &out);
        all += "envcheck " + arguments + ": " + std::to_string(status) + "\n" + out;
    }
    ExpectKept("command_line.expected", all);
}

// The default environment, as the build assembles it next to envhost
// (its textures and star data file are generated), must come out clean.
TEST(EnvCheck, DefaultEnvironmentIsClean) {
    const std::string root = std::string(ENVSYS_BINARY_DIR) + "/data/default";
    if (!std::filesystem::exists(root + "/environment.ini")) GTEST_SKIP() << "no default environment built";
    std::string out;
    EXPECT_EQ(RunTool("--root " + root + " environment.ini", &out), 0) << out;
}

} // namespace
} // namespace envcheck
#endif
