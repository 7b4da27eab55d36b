// The parser, one fixture file per behaviour (tests/data/config).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/IniFile.h"
#include "plugin/PluginState.h"
#include "tests/config/ConfigTestSupport.h"

namespace envsys {
namespace {

using testing::ConfigHost;
using testing::KeyList;
using testing::SectionNames;

std::vector<std::string> OpenedNames(const testing::TestHost& host) {
    std::vector<std::string> names;
    for (const auto& call : host.log.Named("FMG.Open"))
        names.push_back(call.text);
    return names;
}

TEST(Parser, SectionsKeysCommentsAndValues) {
    ConfigHost h;
    IniFile file("basic.ini", 0, 0);
    EXPECT_EQ(SectionNames(file), "Sky,Sun");
    // Orphan (before any header), the comment, the blank line and the line
    // without "=" leave no key.
    EXPECT_EQ(KeyList(file, "Sky"), "SkyPanelCount=4,Size=12.5abc,Empty,Name=two words here");
    IniKey* size = file.FindKey("Sky", "Size");
    ASSERT_NE(size, nullptr);
    EXPECT_EQ(size->integerValue, 12);
    EXPECT_FLOAT_EQ(size->floatValue, 12.5f);
    EXPECT_EQ(size->valueKind, 0u);
    IniKey* empty = file.FindKey("Sky", "Empty");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->value, nullptr);
    EXPECT_EQ(empty->integerValue, 0);
    EXPECT_EQ(empty->floatValue, 0.0f);
    EXPECT_EQ(file.GetInt("Sun", "FlareCount", 0), 3);
    // Names and values are cut in place in the one text buffer.
    EXPECT_GE(size->name, file.text.base);
    EXPECT_LT(size->value, file.text.end);
    EXPECT_EQ(h.host.files.OpenHandles(), 0);
    EXPECT_EQ(h.host.log.Count("FMG.Read"), 1);
}

TEST(Parser, TheFirstSectionAndTheFirstKeyOfANameWin) {
    ConfigHost h;
    IniFile file("duplicates.ini", 0, 0);
    EXPECT_EQ(SectionNames(file), "Sky,Ground");
    // [sky] is dropped whole: its keys are not merged into [Sky].
    EXPECT_EQ(KeyList(file, "Sky"), "Size=1");
    EXPECT_EQ(KeyList(file, "Ground"), "Size=5");
    const std::vector<std::string> expected = {
        "Deleting duplicate key size from .\\duplicates.ini...",
        "Deleting duplicate key SIZE from .\\duplicates.ini...",
        "Deleting duplicate section sky from .\\duplicates.ini...",
    };
    EXPECT_EQ(h.host.messages, expected);
}

TEST(Parser, DuplicatesAreFoundAmongManyNamesInAnyCaseAndCodePage) {
    ConfigHost h;
    // 400 sections of 40 keys, then every tenth section and key again in
    // another case, and names with bytes above 0x7F twice.
    std::string text;
    for (int s = 0; s < 400; ++s) {
        text += "[Section" + std::to_string(s) + "]\n";
        for (int k = 0; k < 40; ++k)
            text += "Key" + std::to_string(k) + "=" + std::to_string(s * 100 + k) + "\n";
        for (int k = 0; k < 40; k += 10)
            text += "KEY" + std::to_string(k) + "=-1\n";
    }
    for (int s = 0; s < 400; s += 10)
        text += "[SECTION" + std::to_string(s) + "]\nKey0=-1\n";
    // 0xDC and 0xF6 0xDF in octal, so that no letter runs on into the escape.
    text += "[\334ber]\nGr\366\337e=1\nGr\366\337e=2\n[\334ber]\nGr\366\337e=3\n";
    h.host.files.Add("many.ini", text);
    h.host.log.enabled = false;
    IniFile file("many.ini", 0, 0);
    EXPECT_EQ(file.sections.count, 401);
    size_t keyDrops = 0, sectionDrops = 0;
    for (const std::string& m : h.host.messages) {
        keyDrops += m.rfind("Deleting duplicate key", 0) == 0;
        sectionDrops += m.rfind("Deleting duplicate section", 0) == 0;
    }
    EXPECT_EQ(keyDrops, 400u * 4u + 1u);
    EXPECT_EQ(sectionDrops, 40u + 1u);
    EXPECT_EQ(file.GetInt("section390", "key30", 0), 39030);
    EXPECT_EQ(file.FindSection("Section7")->keys.count, 40);
    EXPECT_EQ(file.GetInt("\334ber", "Gr\366\337e", 0), 1);
}

TEST(Parser, HeadersAreRecognisedInTheFirstColumnOnly) {
    ConfigHost h;
    IniFile file("indented_header.ini", 0, 0);
    EXPECT_EQ(SectionNames(file), "Sky,Next");
    // The indented header is an ordinary key-block line without "=", so
    // B=2 after it still belongs to Sky.
    EXPECT_EQ(KeyList(file, "Sky"), "A=1,B=2");
    EXPECT_EQ(KeyList(file, "Next"), "C=3");
}

TEST(Parser, AHashLineEndsTheKeyBlock) {
    ConfigHost h;
    IniFile file("directive_ends_block.ini", 0, 0);
    EXPECT_EQ(KeyList(file, "Sky"), "A=1");
    EXPECT_EQ(KeyList(file, "Sun"), "C=3");
    EXPECT_EQ(file.GetInt("Sky", "B", -1), -1);
}

TEST(Parser, IncludesLoadAfterTheIncludingFileDepthFirstInDirectiveOrder) {
    ConfigHost h;
    IniFile file("include_main.ini", 0, 0);
    const std::vector<std::string> opened = {".\\include_main.ini", "sub.ini", "sub dir.ini", "deep.ini", "nested.ini"};
    EXPECT_EQ(OpenedNames(h.host), opened);
    EXPECT_EQ(SectionNames(file), "Main,Main2,Sub,SubDir,Deep,Nested");
    // B=2 follows the directives, which ended Main's key block; sub.ini's
    // [Main] is a duplicate of the including file's.
    EXPECT_EQ(KeyList(file, "Main"), "A=1");
    char from[32];
    file.GetString("SubDir", "From", "", from, sizeof from, 0);
    EXPECT_STREQ(from, "sub dir");
    EXPECT_TRUE(h.host.Logged("Deleting duplicate section Main from .\\include_main.ini..."));
    EXPECT_EQ(h.host.files.OpenHandles(), 0);
    // Each file is closed before the next one is opened.
    const auto sequence = h.host.log.Sequence("FMG.");
    for (size_t i = 0; i + 1 < sequence.size(); ++i) {
        if (sequence[i] == "FMG.Open") {
            EXPECT_NE(sequence[i + 1], "FMG.Open");
        }
    }
}

TEST(Parser, AFileThatStartsWithALineBreakYieldsNothing) {
    ConfigHost h;
    IniFile file("leading_linebreak.ini", 0, 0);
    EXPECT_EQ(file.sections.count, 0);
    EXPECT_EQ(file.GetInt("Sky", "A", 7), 7);
    // Its text still occupies the buffer: 11 bytes and a terminator.
    EXPECT_EQ(file.text.end - file.text.base, 12);
    EXPECT_EQ(file.Load("leading_linebreak.ini"), 0);
    EXPECT_EQ(file.Load("basic.ini"), 1);
    EXPECT_EQ(file.GetInt("Sky", "SkyPanelCount", 0), 4);
}

// The parser cuts each line out of the text as it reaches it; the text left
// in the buffer must read as if every CR and LF had been replaced by a
// terminator first, whether the text is parsed or refused. (Only the "=" of
// key lines and the "]" of headers are cut as well; the texts hold no blanks
// to trim.)
TEST(Parser, TheTextIsLeftWithEveryLineBreakMadeATerminator) {
    static const char kMixed[] = "[A]\r\nk=1\rj=2\n\n\r[B]\nx=\0y=3\r\n;c\r\n#x\n[C]\nz=1\n#\nw=2\n[D]\nv=1\n#\0u=2";
    static const char kLeadingBreak[] = "\n[A]\r\nk=1\r\n";
    static const char kLeadingNul[] = "\0\n[A]\nk=1\n";
    const struct {
        std::string text;
        bool parsed;
    } cases[] = {{std::string(kMixed, sizeof kMixed - 1), true},
                 {std::string(kLeadingBreak, sizeof kLeadingBreak - 1), false},
                 {std::string(kLeadingNul, sizeof kLeadingNul - 1), false}};
    for (const auto& c : cases) {
        ConfigHost h;
        h.host.files.Add("lines.ini", c.text);
        IniFile file("lines.ini", 0, 0);
        ASSERT_EQ(file.text.end - file.text.base, static_cast<ptrdiff_t>(c.text.size() + 1));
        for (size_t i = 0; i < c.text.size(); ++i) {
            const char original = c.text[i];
            const char left = file.text.base[i];
            if (original == '\r' || original == '\n') {
                EXPECT_EQ(left, '\0') << "byte " << i;
            } else if (original != '=' && original != ']') {
                EXPECT_EQ(left, original) << "byte " << i;
            }
        }
        EXPECT_EQ(file.text.cursor, c.parsed ? file.text.end : file.text.base);
        EXPECT_EQ(SectionNames(file), c.parsed ? "A,B,C,D" : "");
    }
    ConfigHost h;
    h.host.files.Add("lines.ini", cases[0].text);
    IniFile file("lines.ini", 0, 0);
    // The NUL byte ends the line "x=" and starts the line "y=3".
    EXPECT_EQ(KeyList(file, "A"), "k=1,j=2");
    EXPECT_EQ(KeyList(file, "B"), "x,y=3");
    EXPECT_EQ(KeyList(file, "C"), "z=1"); // a lone "#" ends the block too,
    EXPECT_EQ(KeyList(file, "D"), "v=1"); // also when a NUL byte ends it
}

TEST(Parser, EmptyNamesAreKeptButNeverFound) {
    ConfigHost h;
    h.host.files.Add("empty_names.ini", "[S]\na=1\n=2\n[]\nb=3\n#include \"\"\n");
    IniFile file("empty_names.ini", 0, 0);
    EXPECT_EQ(SectionNames(file), "S,");
    EXPECT_EQ(KeyList(file, "S"), "a=1,=2");
    EXPECT_EQ(file.GetInt("]", "b", 0), 0);
    // Without a file service or a name there is no document.
    g_plugin.fmg = nullptr;
    IniFile none("empty_names.ini", 0, 0);
    g_plugin.fmg = &h.host.files;
    IniFile unnamed("", 0, 0);
    EXPECT_EQ(SectionNames(none) + SectionNames(unnamed), "");
}

TEST(Parser, AnIncludeThatFindsTwoBytesFreeReadsOneForTheTerminatorToFollow) {
    ConfigHost h;
    // The first file and its terminator leave two bytes of the document's
    // text free; any byte but NUL may start an include's name.
    std::string main = "#include b.ini\n#include \x01.ini\n;";
    main += std::string(kDocumentTextCapacity - 2 - main.size(), 'x');
    h.host.files.Add("main.ini", main);
    h.host.files.Add("b.ini", "[B]\n");
    IniFile file("main.ini", 0, 0);
    EXPECT_EQ(OpenedNames(h.host), (std::vector<std::string>{".\\main.ini", "b.ini", "\x01.ini"}));
    EXPECT_EQ(h.host.log.Last("FMG.Read")->numbers[1], 1.0);
    EXPECT_EQ(file.text.FreeSpace(), 0u);
}

TEST(Parser, AMissingFileOrIncludeIsSkipped) {
    ConfigHost h;
    IniFile file("missing_include.ini", 0, 0);
    EXPECT_EQ(SectionNames(file), "Main,Sub");
    EXPECT_EQ(h.host.log.Count("FMG.Open"), 3);
    EXPECT_EQ(h.host.log.Count("FMG.Close"), 2);
    EXPECT_EQ(file.Load("no_such_file.ini"), 0);
    IniFile missing("no_such_file", 0, 0);
    EXPECT_EQ(missing.sections.count, 0);
    EXPECT_EQ(missing.GetInt("Main", "A", 3), 3);
}

TEST(Parser, AnIncludeCycleStopsWhenTheBufferIsFull) {
    ConfigHost h;
    h.host.log.enabled = false;
    {
        IniFile file("self_include.ini", 0, 0);
        // The file is read again and again, each copy's [Self] a duplicate,
        // until it no longer fits.
        EXPECT_EQ(file.sections.count, 1);
        EXPECT_EQ(file.GetInt("Self", "A", 0), 1);
        EXPECT_LT(file.text.FreeSpace(), 64u);
        EXPECT_GT(h.host.files.opens, 5000);
        EXPECT_EQ(h.host.files.OpenHandles(), 0);
    }
    EXPECT_EQ(h.LeakedBlocks(), 0u);
}

} // namespace
} // namespace envsys
