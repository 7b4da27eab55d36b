// The system's file-name rules, as DiskFiles applies them for envhost and
// envcheck alike: for every name, the checker finds the Environment File
// exactly when the plug-in loads it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "testing/CachedFiles.h"
#include "testing/DiskFiles.h"
#include "testing/TestHost.h"
#if defined(ENVSYS_HAVE_ENVCHECK)
#include "tools/envcheck/EnvChecker.h"
#endif

namespace envsys {
namespace testing {
namespace {

namespace fs = std::filesystem;

std::string Backslashed(std::string path) {
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

// base/root/{env.ini, notes.ini, Textures/Sky/Band_1.INI, sub/inner.ini}
// and base/other/shared.ini beside the root.
class DiskFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        base = (fs::temp_directory_path() / ("envsys-files-" + std::to_string(stamp))).generic_string();
        for (const char* folder : {"/root/Textures/Sky", "/root/sub", "/other"})
            fs::create_directories(base + folder);
        for (const char* file : {"/root/env.ini", "/root/notes.ini", "/root/Textures/Sky/Band_1.INI",
                                 "/root/sub/inner.ini", "/other/shared.ini"})
            std::ofstream(base + file, std::ios::binary) << "[Sky]\nSkyPanelCount = 4\n";
    }
    void TearDown() override { fs::remove_all(base); }
    std::string base;
};

TEST_F(DiskFilesTest, ResolvesTheSystemsNamesAndEnvcheckAgreesWithThePlugIn) {
    const std::string root = base + "/root";
    // A name and the file it names below base; none for an empty one.
    const std::pair<std::string, std::string> cases[] = {
        {"env.ini", "/root/env.ini"},
        {".\\ENV.INI", "/root/env.ini"},
        {".\\textures\\sky\\band_1.ini", "/root/Textures/Sky/Band_1.INI"}, // folders in any case
        {"TEXTURES/SKY/BAND_1.ini", "/root/Textures/Sky/Band_1.INI"},
        {"sub\\\\inner.ini", "/root/sub/inner.ini"}, // a doubled separator
        {"sub\\..\\env.ini", "/root/env.ini"},
        {"..\\other\\shared.ini", "/other/shared.ini"},                   // above the root
        {Backslashed(base) + "\\other\\shared.ini", "/other/shared.ini"}, // absolute
        {"missing\\..\\env.ini", ""},                                     // through a missing folder
        {"notes.ini\\..\\env.ini", ""},                                   // through a file
        {"notes.ini\\inner.ini", ""},                                     // a file taken for a folder
        {"env.ini\\", ""},                                                // a trailing separator names a folder
        {"sub\\.", ""},
        {"sub\\..", ""},
        {"textures\\sky", ""}, // a folder is not a file
        {"sub\\missing.ini", ""},
    };
    for (const auto& [name, real] : cases) {
        SCOPED_TRACE(name);
        DiskFiles files(root);
        const std::string expected = real.empty() ? "" : base + real;
        EXPECT_EQ(fs::path(files.Resolve(name)).lexically_normal(), fs::path(expected).lexically_normal());
        EXPECT_EQ(files.Exists(name.c_str(), 0), real.empty() ? 0 : 1);

#if defined(ENVSYS_HAVE_ENVCHECK)
        AccountingMemory memory;
        envcheck::CheckOptions options;
        options.checkFiles = false;
        envcheck::EnvChecker checker(&files, &memory, options);
        checker.Check(name);
        bool notFound = false;
        for (const envcheck::Diagnostic& d : checker.diagnostics())
            notFound = notFound || d.message == "Environment File not found";
        EXPECT_EQ(notFound, real.empty());
#endif

        TestHost host;
        host.shell.services["FMG"] = static_cast<FileService*>(&files);
        host.Init();
        host.env()->LoadEnvironment(name.c_str());
        EXPECT_EQ(host.Logged(" not found!"), real.empty());
        host.Exit();
        EXPECT_EQ(files.OpenHandles(), 0);
    }
    DiskFiles files(root);
    EXPECT_EQ(files.Resolve(""), "");
    EXPECT_EQ(files.Exists(nullptr, 0), 0);
    EXPECT_EQ(files.Open("missing.ini", 0), -1);
}

TEST_F(DiskFilesTest, RecordsEveryNameAskedForAndReadsInPieces) {
    std::ofstream(base + "/root/data.bin", std::ios::binary) << "0123456789";
    std::set<std::string> requests;
    DiskFiles files(base + "/root");
    files.requests = &requests;
    EXPECT_EQ(files.Exists("nowhere.ini", 0), 0);
    const int32_t h = files.Open(".\\DATA.BIN", 0);
    ASSERT_NE(h, -1);
    EXPECT_EQ(requests, (std::set<std::string>{"nowhere.ini", ".\\DATA.BIN"}));
    char buffer[8] = {};
    EXPECT_EQ(files.Read(h, buffer, 4), 4);
    EXPECT_EQ(std::memcmp(buffer, "0123", 4), 0);
    EXPECT_EQ(files.Read(h, buffer, 8), 6);
    EXPECT_EQ(files.Read(h, buffer, 8), 0);
    EXPECT_EQ(files.Read(h, nullptr, 8), 0);
    files.Close(h);
    files.Close(h);
    EXPECT_EQ(files.OpenHandles(), 0);
}

TEST_F(DiskFilesTest, CachedFilesReadOnceUntilCleared) {
    DiskFiles disk(base + "/root");
    CachedFiles cache(&disk);
    auto readAll = [&](const char* name) {
        const int32_t h = cache.Open(name, 0);
        if (h == -1) return std::string("(none)");
        std::string out;
        char chunk[4];
        for (int32_t n; (n = cache.Read(h, chunk, sizeof chunk)) > 0;)
            out.append(chunk, static_cast<size_t>(n));
        cache.Close(h);
        return out;
    };
    EXPECT_EQ(readAll("env.ini"), "[Sky]\nSkyPanelCount = 4\n");
    EXPECT_EQ(readAll("later.ini"), "(none)");
    // Changes on disk go unseen, both ways, until Clear.
    fs::remove(base + "/root/env.ini");
    std::ofstream(base + "/root/later.ini", std::ios::binary) << "[Later]\n";
    EXPECT_EQ(cache.Exists("env.ini", 0), 1);
    EXPECT_EQ(cache.Exists("later.ini", 0), 0);
    EXPECT_EQ(readAll("env.ini"), "[Sky]\nSkyPanelCount = 4\n");
    cache.Clear();
    EXPECT_EQ(cache.Exists("env.ini", 0), 0);
    EXPECT_EQ(readAll("later.ini"), "[Later]\n");
    EXPECT_EQ(disk.OpenHandles(), 0);
}

} // namespace
} // namespace testing
} // namespace envsys
