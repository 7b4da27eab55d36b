// envhost finds its module and data next to itself in a build folder and,
// installed, in the module's and the data's folders of its prefix.
#include "host/InstallLayout.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/host/HostTestSupport.h"

// The paths from bin/ that the build gives InstallLayout.cpp as well.
#ifndef ENVSYS_BIN_TO_MODULE_DIR
#define ENVSYS_BIN_TO_MODULE_DIR "../lib/envsys"
#define ENVSYS_BIN_TO_DATA_DIR "../share/envsys"
#endif

namespace envhost {
namespace {

TEST(InstallLayoutTest, BuildFolderFirstThenInstalledTreeElseBuildPath) {
    ScratchFolder root;
    const std::string bin = root.path + "/bin";
    const std::string modules = bin + "/" ENVSYS_BIN_TO_MODULE_DIR, data = bin + "/" ENVSYS_BIN_TO_DATA_DIR;
    std::filesystem::create_directories(bin);
    std::filesystem::create_directories(modules);

    // Nothing found: the build-folder paths, for the error message.
    EXPECT_EQ(ModulePath(bin), bin + "/EnvironmentSystem.so");
    EXPECT_EQ(DataFolder(bin, "default"), bin + "/data/default");

    // Installed.
    root.Write("bin/" ENVSYS_BIN_TO_MODULE_DIR "/EnvironmentSystem.so", "");
    std::filesystem::create_directories(data + "/default");
    std::filesystem::create_directories(data + "/preview");
    EXPECT_EQ(ModulePath(bin), modules + "/EnvironmentSystem.so");
    EXPECT_EQ(DataFolder(bin, "default"), data + "/default");
    EXPECT_EQ(DataFolder(bin, "preview"), data + "/preview");

    // A build folder's module, data/default and preview/ win over an
    // installed tree.
    root.Write("bin/EnvironmentSystem.so", "");
    std::filesystem::create_directories(bin + "/data/default");
    std::filesystem::create_directories(bin + "/preview");
    EXPECT_EQ(ModulePath(bin), bin + "/EnvironmentSystem.so");
    EXPECT_EQ(DataFolder(bin, "default"), bin + "/data/default");
    EXPECT_EQ(DataFolder(bin, "preview"), bin + "/preview");
}

} // namespace
} // namespace envhost
