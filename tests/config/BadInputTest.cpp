// Whatever the bytes, loading ends in a defined document: line endings,
// NUL bytes, long lines, oversized files, missing services and failing
// allocations at every point.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "config/IniFile.h"
#include "config/Material.h"
#include "config/StringUtils.h"
#include "tests/config/ConfigTestSupport.h"

namespace envsys {
namespace {

using testing::ConfigHost;
using testing::KeyList;
using testing::SectionNames;

std::string Load(ConfigHost& h, const std::string& bytes, const char* section = "S") {
    h.host.files.Add("bad.ini", bytes);
    IniFile file("bad.ini", 0, 0);
    return SectionNames(file) + "|" + KeyList(file, section);
}

TEST(BadInput, EveryLineEndingSplitsLinesAlike) {
    ConfigHost h;
    EXPECT_EQ(Load(h, "[S]\na=1\nb=2\n[T]\n"), "S,T|a=1,b=2");
    EXPECT_EQ(Load(h, "[S]\ra=1\rb=2\r[T]\r"), "S,T|a=1,b=2");
    EXPECT_EQ(Load(h, "[S]\r\na=1\r\nb=2\r\n[T]\r\n"), "S,T|a=1,b=2");
    EXPECT_EQ(Load(h, "[S]\n\ra=1\r\r\n\nb=2"), "S|a=1,b=2"); // mixed, no final break
    EXPECT_EQ(Load(h, "[S]"), "S|");
    EXPECT_EQ(Load(h, "[S] \t\r\na=1 \t"), "S|a=1"); // trailing blanks leave the header intact
}

TEST(BadInput, EmptyAndLineBreakOnlyFilesGiveAnEmptyDocument) {
    ConfigHost h;
    const std::string files[] = {"", "\n", "\r\n[S]\na=1\n", std::string("\0[S]\na=1\n", 9)};
    for (const std::string& bytes : files) {
        h.host.files.Add("bad.ini", bytes);
        IniFile file("bad.ini", 0, 0);
        EXPECT_EQ(file.sections.count, 0);
        EXPECT_EQ(file.GetInt("S", "a", 5), 5);
    }
    EXPECT_EQ(h.LeakedBlocks(), 0u);
}

TEST(BadInput, NulBytesInsideTheTextEndLines) {
    ConfigHost h;
    const char raw[] = "[S]\na=1\0b=2\nc=3\0\0\0[T]\nx\0=y\n";
    const std::string bytes(raw, sizeof raw - 1);
    EXPECT_EQ(Load(h, bytes), "S,T|a=1,b=2,c=3");
    EXPECT_EQ(Load(h, bytes, "T"), "S,T|=y"); // "x" has no "=", "=y" has an empty name
}

TEST(BadInput, LongNamesAndValuesAreCutToTheCallersBuffers) {
    ConfigHost h;
    const std::string longName(300, 'k');
    const std::string longValue(300, 'v');
    const std::string longSection(5000, 's');
    h.host.files.Add("long.ini", "[" + longSection + "]\n" + longName + "=" + longValue + "\n[S]\n" + longName + "=" +
                                     longValue + "\n");
    IniFile file("long.ini", 0, 0);
    char out[262];
    std::memset(out, '#', sizeof out);
    file.GetString("S", longName.c_str(), "", out, 260, 0);
    EXPECT_EQ(std::string(out), std::string(259, 'v'));
    EXPECT_EQ(out[260], '#');
    EXPECT_EQ(file.HasSection(longSection.c_str()), 1);
    char* copy = GetStringCopy(&file, "S", longName.c_str(), 1);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::string(copy), std::string(259, 'V'));
    StrFree(&copy);
    float v[3];
    GetVector(v, &file, "S", longName.c_str());
    EXPECT_EQ(v[0], 0.0f);
    MaterialRecord record;
    EXPECT_TRUE(LoadMaterial(&record, &file, "S"));
    // A long file name is bounded too.
    IniFile named(std::string(300, 'f').c_str(), 0, 0);
    EXPECT_EQ(std::strlen(named.fileName), 259u);
}

TEST(BadInput, AFileLargerThanTheBufferIsReadUpToItsSpace) {
    ConfigHost h;
    // 300,000 bytes of keys: one read of 0x40000 bytes, the rest ignored.
    // Lines of 100 bytes after the 4 of the header: 262144 bytes hold keys 0
    // to 2620 whole and the first 40 bytes of key 2621.
    std::string bytes = "[S]\n";
    for (int i = 0; bytes.size() < 300000; ++i) {
        std::string line = "Key" + std::to_string(i) + "=" + std::to_string(i) + " ";
        bytes += line + std::string(99 - line.size(), 'x') + "\n";
    }
    h.host.files.Add("big.ini", bytes);
    IniFile file("big.ini", 0, 0);
    const auto reads = h.host.log.Named("FMG.Read");
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].numbers[1], 262144.0);
    EXPECT_EQ(file.text.FreeSpace(), 0u);
    EXPECT_EQ(file.GetInt("S", "Key0", -1), 0);
    EXPECT_EQ(file.GetInt("S", "Key2620", -1), 2620);
    EXPECT_EQ(file.GetInt("S", "Key2621", -1), 2621); // cut short after its number
    EXPECT_EQ(file.GetInt("S", "Key2622", -1), -1);   // beyond the cut
    // A further file finds the buffer full and reads nothing.
    EXPECT_EQ(file.Load("big.ini"), 0);
    EXPECT_EQ(h.host.log.Count("FMG.Read"), 1);
    EXPECT_EQ(h.host.files.OpenHandles(), 0);
}

TEST(BadInput, ShortReadsAndFailingServices) {
    ConfigHost h;
    h.host.files.Add("short.ini", "[S]\na=1\nb=2\n");
    h.host.files.maxReadBytes = 9; // "[S]\na=1\nb"
    {
        IniFile file("short.ini", 0, 0);
        EXPECT_EQ(KeyList(file, "S"), "a=1");
    }
    h.host.files.maxReadBytes = 0xFFFFFFFFu;
    h.host.files.readsReturnZero = true;
    {
        IniFile file("short.ini", 0, 0);
        EXPECT_EQ(file.sections.count, 0);
        EXPECT_EQ(h.host.files.OpenHandles(), 0);
    }
    h.host.files.readsReturnZero = false;
    h.host.files.failAllOpens = true;
    {
        IniFile file("short.ini", 0, 0);
        EXPECT_EQ(file.sections.count, 0);
        EXPECT_EQ(h.host.log.Count("FMG.Read"), 2);
    }
    EXPECT_EQ(h.LeakedBlocks(), 0u);
}

TEST(BadInput, WithoutMemTheDocumentIsEmptyAndNothingLeaks) {
    // The text storage comes from MEM alone; records and nodes would fall
    // back to the heap, but with no text there is nothing to record.
    testing::TestHost host;
    host.shell.withheld.insert("MEM");
    host.Init();
    host.files.Add("env.ini", "[S]\na=1\n");
    const int32_t heapBefore = HeapFallbackBlockCount();
    {
        IniFile file("env.ini", 1, 0);
        EXPECT_EQ(file.text.base, nullptr);
        EXPECT_EQ(file.trueText, nullptr);
        EXPECT_EQ(file.sections.count, 0);
        EXPECT_EQ(file.GetInt("S", "a", 4), 4);
        EXPECT_EQ(file.GetBool("S", "a", 1), 1);
        char out[8];
        file.GetString("S", "a", "def", out, sizeof out, 0);
        EXPECT_STREQ(out, "def");
        MaterialRecord record;
        EXPECT_FALSE(LoadMaterial(&record, &file, "S"));
    }
    EXPECT_EQ(HeapFallbackBlockCount(), heapBefore);
    EXPECT_EQ(host.log.Count("FMG.Read"), 0);
}

TEST(BadInput, AllocationFailureAtEveryPointLeavesAConsistentDocument) {
    const std::string text =
        "[A]\nx=1\ny=2\n#include inc.ini\n[B]\nz=3\n#include inc2.ini\n[C]\nw=TRUE\nNumTextureStages=1\n";
    // Count the allocations of a full load and use.
    int total = 0;
    {
        ConfigHost h;
        h.host.files.Add("alloc.ini", text);
        h.host.files.Add("inc.ini", "[D]\nv=4\n");
        h.host.files.Add("inc2.ini", "[E]\n");
        const int before = h.host.mem.allocations;
        {
            IniFile file("alloc.ini", 1, 0);
            EXPECT_EQ(SectionNames(file), "A,B,C,D,E");
            file.GetInt("F", "new", 1);
        }
        total = h.host.mem.allocations - before;
        EXPECT_GT(total, 20);
    }
    for (int n = 1; n <= total + 1; ++n) {
        ConfigHost h;
        h.host.files.Add("alloc.ini", text);
        h.host.files.Add("inc.ini", "[D]\nv=4\n");
        h.host.files.Add("inc2.ini", "[E]\n");
        h.host.mem.FailAt(n);
        {
            IniFile file("alloc.ini", 1, 0);
            // Whatever was dropped, what is there reads consistently.
            EXPECT_LE(file.sections.count, 5) << n;
            if (file.HasSection("A")) {
                const int32_t x = file.GetInt("A", "x", 1);
                EXPECT_EQ(x, 1) << n;
            }
            file.GetInt("F", "new", 1);
            MaterialRecord record;
            LoadMaterial(&record, &file, "C");
        }
        EXPECT_EQ(h.LeakedBlocks(), 0u) << "failing allocation " << n;
        EXPECT_EQ(h.host.mem.badFrees, 0) << n;
        EXPECT_EQ(h.host.files.OpenHandles(), 0) << n;
    }
}

} // namespace
} // namespace envsys
