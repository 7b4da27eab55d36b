// The document model: the fixed text storage, the list with its cursor,
// construction and destruction of a document, AddKey and the shared layout.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "config/IniFile.h"
#include "config/StringUtils.h"
#include "tests/config/ConfigTestSupport.h"

namespace envsys {
namespace {

using testing::ConfigHost;

TEST(TextBuffer, OneZeroedBlockWhoseLastByteAppendNeverUses) {
    ConfigHost h;
    TextBuffer buffer;
    buffer.Init();
    buffer.Allocate(16); // 17 bytes
    ASSERT_NE(buffer.base, nullptr);
    EXPECT_EQ(buffer.capacity, 17u);
    EXPECT_EQ(buffer.FreeSpace(), 17u);
    char* const base = buffer.base;

    // 5 + 1 bytes, then 9 + 1: 16 in use. U + L + 1 must stay below 17.
    EXPECT_TRUE(buffer.Append("first"));
    EXPECT_EQ(buffer.Current(), base);
    EXPECT_TRUE(buffer.Append("123456789"));
    EXPECT_EQ(buffer.Current(), base + 6);
    EXPECT_EQ(buffer.FreeSpace(), 1u);
    EXPECT_FALSE(buffer.Append("")); // 16 + 0 + 1 reaches the capacity
    EXPECT_FALSE(buffer.Append(nullptr));
    EXPECT_EQ(buffer.base, base); // never moves

    EXPECT_TRUE(buffer.SeekTo(base + 6));
    EXPECT_FALSE(buffer.SeekTo(nullptr)); // refused, the cursor stays
    EXPECT_STREQ(buffer.Current(), "123456789");
    EXPECT_FALSE(buffer.SeekTo(base + 3));  // inside a string, not at one
    EXPECT_FALSE(buffer.SeekTo(base + 5));  // a NUL byte
    EXPECT_FALSE(buffer.SeekTo(base + 16)); // past the text

    buffer.SeekTo(base);
    int strings = 0;
    for (; buffer.HasMore(); buffer.Next())
        ++strings;
    EXPECT_EQ(strings, 2);

    // Raw text as a read leaves it, in a fresh buffer: a CR LF pair gives
    // an empty string, and the last line has no terminator; a commit beyond
    // the storage is cut.
    buffer.Allocate(16);
    std::memcpy(buffer.End(), "a\0\0b", 4);
    buffer.Commit(4);
    buffer.SeekTo(buffer.base);
    for (strings = 0; buffer.HasMore(); buffer.Next())
        ++strings;
    EXPECT_EQ(strings, 3);
    buffer.Next();
    buffer.Commit(100);
    EXPECT_EQ(buffer.FreeSpace(), 0u);
    buffer.Release();
    EXPECT_EQ(buffer.base, nullptr);
    EXPECT_EQ(buffer.FreeSpace(), 0u);
    EXPECT_FALSE(buffer.HasMore());
    EXPECT_EQ(h.LeakedBlocks(), 0u);
}

TEST(TextBuffer, FailedAllocationLeavesNoStorage) {
    ConfigHost h;
    TextBuffer buffer;
    buffer.Init();
    h.host.mem.FailAt(1);
    buffer.Allocate(100);
    EXPECT_EQ(buffer.base, nullptr);
    EXPECT_EQ(buffer.FreeSpace(), 0u);
    EXPECT_FALSE(buffer.Append("x"));
    EXPECT_FALSE(buffer.SeekTo("x"));
    buffer.Commit(5);
    buffer.Next();
    buffer.Release();
}

struct Named {
    const char* name;
};

TEST(PointerList, SearchStartsAtTheCursorAndSeesEveryNodeOnce) {
    ConfigHost h;
    Named records[] = {{"Alpha"}, {"Beta"}, {"Gamma"}, {"Delta"}, {""}};
    PointerList list;
    list.Init();
    EXPECT_FALSE(list.FindByName("Alpha"));
    for (Named& r : records)
        ASSERT_TRUE(list.Append(&r));
    EXPECT_EQ(list.count, 5);
    EXPECT_EQ(list.cursorIndex, 4); // the last node added

    EXPECT_TRUE(list.FindByName("gamma"));
    EXPECT_EQ(list.cursorIndex, 2);
    // From Gamma on to the tail, then from the head up to Gamma.
    EXPECT_TRUE(list.FindByName("BETA"));
    EXPECT_EQ(list.cursorIndex, 1);
    EXPECT_EQ(list.CurrentData(), &records[1]);

    // Empty or null names find nothing and leave the cursor where it was.
    EXPECT_FALSE(list.FindByName(""));
    EXPECT_FALSE(list.FindByName(nullptr));
    EXPECT_EQ(list.cursorIndex, 1);

    // A miss clears the cursor; the next search starts at the head.
    EXPECT_FALSE(list.FindByName("Omega"));
    EXPECT_EQ(list.cursor, nullptr);
    EXPECT_EQ(list.cursorIndex, -1);
    EXPECT_TRUE(list.FindByName("Delta"));
    EXPECT_EQ(list.cursorIndex, 3);
    list.Clear();
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(list.cursorIndex, -1);
    EXPECT_EQ(h.LeakedBlocks(), 0u);
}

TEST(PointerList, RemovingTheCursorMovesItToTheNextNodeOrTheNewTail) {
    ConfigHost h;
    Named records[] = {{"a"}, {"b"}, {"c"}};
    PointerList list;
    list.Init();
    for (Named& r : records)
        list.Append(&r);
    list.FindByName("b");
    list.RemoveCurrent();
    EXPECT_EQ(list.count, 2);
    EXPECT_EQ(list.CurrentData(), &records[2]); // next node, same index
    EXPECT_EQ(list.cursorIndex, 1);
    list.RemoveCurrent(); // the tail: back to the new tail
    EXPECT_EQ(list.CurrentData(), &records[0]);
    EXPECT_EQ(list.cursorIndex, 0);
    EXPECT_EQ(list.tail, list.head);
    list.RemoveCurrent();
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(list.head, nullptr);
    EXPECT_EQ(list.cursorIndex, -1);
    list.ResetCursor();
    EXPECT_EQ(list.cursorIndex, -1);
    EXPECT_EQ(h.LeakedBlocks(), 0u);
}

TEST(PointerList, WorksOnTheHeapWithoutMem) {
    // Before InitDLL there is no MEM: nodes come from the heap and go back
    // to it.
    const int32_t before = HeapFallbackBlockCount();
    Named records[] = {{"x"}, {"y"}, {"z"}};
    PointerList list;
    list.Init();
    list.RemoveCurrent(); // nothing to remove
    for (Named& r : records)
        ASSERT_TRUE(list.Append(&r));
    ASSERT_TRUE(list.Append(nullptr)); // a node without a record has no name
    EXPECT_EQ(HeapFallbackBlockCount(), before + 4);
    EXPECT_FALSE(list.FindByName("w"));
    // Moving a list onto itself or from nowhere changes nothing.
    list.MoveToFront(&list);
    list.MoveToFront(nullptr);
    EXPECT_EQ(list.count, 4);
    // Blocks go back newest first, then from the middle and the end of the
    // heap's own list.
    list.FindByName("z");
    list.RemoveCurrent();
    list.FindByName("y");
    list.RemoveCurrent();
    EXPECT_EQ(HeapFallbackBlockCount(), before + 2);
    MemFree(&records[0]); // no heap block: left to MEM, which is not there
    list.Clear();
    EXPECT_EQ(HeapFallbackBlockCount(), before);
}

TEST(IniFile, FileNameIsTheFirstFieldOnEveryPlatform) {
    static_assert(offsetof(IniFile, fileName) == 0, "fileName first");
    ConfigHost h;
    h.host.files.Add("layout.ini", "[A]\nb=1\n");
    IniFile file("layout", 0, 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(&file), ".\\layout.INI");
    EXPECT_EQ(file.GetInt("A", "b", 0), 1);
}

TEST(IniFile, ConstructionNormalisesTheNameAndPreparesTheDocument) {
    ConfigHost h;
    h.host.files.Add("env.ini", "[Sky]\nA=1\n");
    {
        IniFile file("env.ini", 1, 0);
        // (The empty and true texts and the buffer size show in what the
        // getters record and read: tests/config/GettersTest.cpp, BadInputTest.cpp.)
        EXPECT_STREQ(file.fileName, ".\\env.ini");
        EXPECT_EQ(file.recordDefaults, 1);
        EXPECT_STREQ(file.falseText, "FALSE");
        EXPECT_EQ(file.sections.count, 1);
        // The loader opens the normalised name once.
        const auto opens = h.host.log.Named("FMG.Open");
        ASSERT_EQ(opens.size(), 1u);
        EXPECT_EQ(opens[0].text, ".\\env.ini");
    }
    EXPECT_EQ(h.LeakedBlocks(), 0u);

    IniFile deferred("data\\env", 0, 1);
    EXPECT_STREQ(deferred.fileName, "data\\env.INI");
    EXPECT_EQ(deferred.sections.count, 0);
    EXPECT_EQ(h.host.log.Count("FMG.Open"), 1);
    EXPECT_EQ(deferred.Load("env.ini"), 1);
    EXPECT_EQ(deferred.GetInt("Sky", "A", 0), 1);
}

TEST(IniFile, DestructionGivesBackEveryBlock) {
    ConfigHost h;
    h.host.files.Add("many.ini", "[A]\nx=1\ny=2\n[B]\nz=3\n[C]\n");
    {
        IniFile file("many.ini", 0, 0);
        // Text, three heap strings, three sections and three keys, each
        // record with its node.
        EXPECT_EQ(h.LeakedBlocks(), 1u + 3u + 3u * 2u + 3u * 2u);
    }
    EXPECT_EQ(h.LeakedBlocks(), 0u);
    EXPECT_EQ(h.host.mem.badFrees, 0);
}

IniKey* NewKey(const char* name) {
    auto* key = static_cast<IniKey*>(MemAllocOrHeap(sizeof(IniKey)));
    key->name = const_cast<char*>(name);
    key->valueKind = kValueInteger;
    key->value = nullptr;
    key->integerValue = 5;
    key->floatValue = 5.0f;
    return key;
}

TEST(IniFile, AddKeyCreatesTheSectionOnceAndKeepsTheFirstKey) {
    ConfigHost h;
    {
        IniFile file("none", 0, 1);
        EXPECT_FALSE(file.AddKey("New", nullptr));
        IniKey* first = NewKey("Count");
        EXPECT_TRUE(file.AddKey("New", first));
        EXPECT_EQ(file.sections.count, 1);
        IniKey* second = NewKey("count");
        EXPECT_TRUE(file.AddKey("new", second)); // an equal name: not added
        EXPECT_EQ(file.FindSection("NEW")->keys.count, 1);
        EXPECT_EQ(file.FindKey("New", "COUNT"), first);
        MemFree(second); // not taken, so still the caller's
        // The section name was copied into the document's text.
        const char* sectionName = file.FindSection("New")->name;
        EXPECT_GE(sectionName, file.text.base);
        EXPECT_LT(sectionName, file.text.end);
    }
    EXPECT_EQ(h.LeakedBlocks(), 0u);
}

TEST(IniFile, AddKeyReportsAFullBufferAndAFailedNode) {
    ConfigHost h;
    IniFile file("none", 0, 1);
    file.text.end = file.text.base + file.text.capacity - 2; // nearly full
    IniKey* key = NewKey("k");
    EXPECT_FALSE(file.AddKey("Section", key));
    EXPECT_TRUE(h.host.Logged("Unable to append string Section to the buffer!"));
    file.text.end = file.text.base;
    // The section record is allocated, then its node fails.
    h.host.mem.FailAt(2);
    EXPECT_FALSE(file.AddKey("Section", key));
    EXPECT_TRUE(h.host.Logged("Unable to append section Section to the list!"));
    EXPECT_EQ(file.sections.count, 0);
    MemFree(key);
}

} // namespace
} // namespace envsys
