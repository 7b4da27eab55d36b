// InitDLL / ExitDLL, the process-wide state and the memory wrappers.
#include <gtest/gtest.h>

#include <cstring>

#include "plugin/EnvironmentSystem.h"
#include "plugin/Log.h"
#include "plugin/Memory.h"
#include "plugin/PluginState.h"
#include "testing/TestHost.h"

namespace envsys {
namespace {

using testing::TestHost;
using Tags = std::vector<std::string>;

TEST(PluginEntry, AcquiresInOrderRegistersWithParamUnchangedAndReleasesInReverse) {
    TestHost host;
    host.Init(0xDEADBEEF);
    EXPECT_EQ(host.shell.acquired, (Tags{"DBG", "MEM", "APP", "DLL", "FMG", "RND", "GFX", "VMG", "PTS"}));
    ASSERT_NE(host.env(), nullptr);
    EXPECT_EQ(host.shell.registeredParam, 0xDEADBEEFu);
    // The two APP values are read once, operation 16 before 14.
    EXPECT_EQ(host.log.Sequence("APP."), (Tags{"APP.Value16", "APP.Value14"}));
    EXPECT_EQ(g_plugin.appValue16, 16u);
    EXPECT_EQ(g_plugin.appValue14, 14u);
    EXPECT_STREQ(g_plugin.ownerTag, "ENV");
    EXPECT_EQ(GetLogLevel(), 3);
    EXPECT_TRUE(host.Logged("EnvironmentSystem DLL Initialized..."));
    host.env()->SetHostValue(2.5f);
    EXPECT_EQ(host.env()->GetHostValue(), 2.5f);

    // ExitDLL releases in reverse order and leaves nothing under the tag,
    // not even something allocated under it that nobody frees. allocated under the tag that nobody frees.
    ASSERT_NE(MemAlloc(100), nullptr);
    EXPECT_GT(host.mem.LiveBlocks("ENV"), 0u);
    host.log.Clear();
    host.Exit();
    EXPECT_EQ(host.shell.released, (Tags{"PTS", "VMG", "GFX", "RND", "FMG", "DLL", "APP", "MEM", "DBG"}));
    // The owner's memory goes back after the four services and before MEM itself.
    ASSERT_NE(host.log.Last("MEM.ReleaseOwner"), nullptr);
    EXPECT_EQ(host.log.Last("MEM.ReleaseOwner")->text, "ENV");
    EXPECT_EQ(host.mem.LiveBlocks("ENV"), 0u);
    EXPECT_EQ(host.shell.registered.count("ENV"), 0u);
    EXPECT_EQ(GetLogLevel(), 0);
    EXPECT_TRUE(host.Logged("EnvironmentSystem DLL Deinitialized..."));
    EXPECT_EQ(VersionText(), nullptr);
    EXPECT_EQ(g_plugin.appValue16, 0u);
    EXPECT_EQ(g_environmentSystem.hostValue, 0.0f) << "the next life starts clean";
    EXPECT_EQ(host.mem.badFrees, 0);
}

TEST(PluginEntry, OwnerTagMismatchStopsBeforeReleasingServices) {
    TestHost host;
    host.Init();
    // The check is case-sensitive: "env" is not the tag "ENV".
    std::strcpy(g_plugin.ownerTag, "env");
    host.Exit();
    EXPECT_TRUE(host.Logged("Unable to exit application shell ENV from DLL env!"));
    EXPECT_EQ(host.shell.released, (Tags{"PTS", "VMG", "GFX"}));
    EXPECT_EQ(host.log.Count("MEM.ReleaseOwner"), 0);
    // With the tag put right, a second exit releases everything.
    std::strcpy(g_plugin.ownerTag, "ENV");
    ::ExitDLL();
    EXPECT_EQ(host.mem.LiveBlocks(), 0u);
    EXPECT_EQ(g_plugin.shell, nullptr);
}

TEST(PluginEntry, VersionTextFromTheBuildDate) {
    // An unknown month is 00; a text too short to hold a date gives zeros
    // rather than a read past its end.
    const char* const cases[][2] = {
        {"Oct 11 2002", "v10.11.02"}, {"Jan  5 2026", "v01.05.26"}, {"Foo 30 1999", "v00.30.99"}, {"Oct", "v00.00.00"}};
    for (const auto& c : cases) {
        char text[16];
        FormatVersionText(c[0], text, sizeof text);
        EXPECT_STREQ(text, c[1]) << c[0];
    }
    char text[16];
    FormatVersionText(nullptr, text, sizeof text);
    EXPECT_STREQ(text, "v00.00.00");
    FormatVersionText(cases[0][0], nullptr, 16);
    FormatVersionText(cases[0][0], text, 0);
    TestHost host;
    host.Init();
    ASSERT_NE(VersionText(), nullptr);
    EXPECT_EQ(std::strlen(VersionText()), 9u);
    EXPECT_EQ(host.log.Named("MEM.Allocate").at(0).numbers[0], 10.0); // the text and its terminator
    EXPECT_EQ(VersionText()[0], 'v');
    host.Exit();
}

TEST(PluginEntry, MemoryWrappersWithAndWithoutMem) {
    // Before InitDLL there is no MEM: MemAlloc refuses, MemAllocOrHeap uses
    // the heap, and heap blocks go back to the heap, never to MEM.
    ASSERT_EQ(g_plugin.mem, nullptr);
    EXPECT_EQ(MemAlloc(16), nullptr);
    void* heapBlock = MemAllocOrHeap(16);
    ASSERT_NE(heapBlock, nullptr);
    EXPECT_EQ(HeapFallbackBlockCount(), 1);
    MemFree(nullptr);

    TestHost host;
    host.Init();
    void* memBlock = MemAllocOrHeap(32);
    ASSERT_NE(memBlock, nullptr);
    EXPECT_EQ(host.log.Last("MEM.Allocate")->numbers, (std::vector<double>{32, 0, 0}));
    EXPECT_EQ(host.log.Last("MEM.Allocate")->text, "ENV");
    const int freesBefore = host.mem.frees;
    MemFree(heapBlock);
    EXPECT_EQ(host.mem.frees, freesBefore);
    EXPECT_EQ(HeapFallbackBlockCount(), 0);
    MemFree(memBlock);
    EXPECT_EQ(host.mem.frees, freesBefore + 1);
    EXPECT_EQ(host.mem.badFrees, 0);

    // A refused block is null, not a crash.
    host.mem.FailAt(1);
    EXPECT_EQ(MemAlloc(8), nullptr);
    host.Exit();

    // After ExitDLL MEM is gone again: freeing does nothing.
    MemFree(reinterpret_cast<void*>(0x1000));
}

TEST(PluginEntry, WithheldServicesOrNoShellStayNullAndNothingCrashes) {
    TestHost host;
    host.shell.withheld = {"GFX", "VMG", "PTS", "APP", "MEM", "FMG", "RND"};
    host.Init();
    EnvironmentSystemInterface* env = host.env();
    ASSERT_NE(env, nullptr);
    EXPECT_EQ(env->LoadEnvironment("missing.ini"), 0);
    host.Frame(0.5f);
    EXPECT_EQ(env->GetAirDensity(0.0f), 0.0f);
    env->Unload();
    host.Exit();
    EXPECT_EQ(g_plugin.shell, nullptr);
    // No shell at all: InitDLL does nothing, and ExitDLL has nothing to give back.
    ::InitDLL(1, nullptr);
    EXPECT_EQ(g_plugin.shell, nullptr);
    ::ExitDLL();
    EXPECT_EQ(g_plugin.mem, nullptr);
}

} // namespace
} // namespace envsys
