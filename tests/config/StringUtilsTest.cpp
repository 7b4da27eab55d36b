// Strings and file names: comparisons, bounded copies, trimming, case and
// the two file-name builders.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "config/StringUtils.h"
#include "tests/config/ConfigTestSupport.h"

namespace envsys {
namespace {

using testing::ConfigHost;

TEST(StringUtils, EqualityIgnoresCaseOnRequestAndNeverMatchesEmptyStrings) {
    EXPECT_TRUE(StrEqual("SkyDome", "skydome", 0));
    EXPECT_FALSE(StrEqual("SkyDome", "skydome", 1));
    EXPECT_TRUE(StrEqual("SkyDome", "SkyDome", 1));
    EXPECT_FALSE(StrEqual("Sky", "SkyDome", 0));
    // An empty name matches nothing, not even another empty name.
    EXPECT_FALSE(StrEqual("", "", 0));
    EXPECT_FALSE(StrEqual(nullptr, nullptr, 1));
    EXPECT_FALSE(StrEqual("a", nullptr, 0));
    EXPECT_TRUE(StrIsEmpty(nullptr));
    EXPECT_TRUE(StrIsEmpty(""));
    EXPECT_FALSE(StrIsEmpty(" "));
}

TEST(StringUtils, CopyIsBoundedAndAlwaysTerminated) {
    char small[8];
    std::memset(small, 'x', sizeof small);
    StrCopy(small, "abcdefghijklmnopqrst", sizeof small);
    EXPECT_STREQ(small, "abcdefg"); // 7 bytes and the terminator
    StrCopy(small, "", sizeof small);
    EXPECT_STREQ(small, "");
    std::strcpy(small, "keep");
    StrCopy(small, nullptr, sizeof small);
    EXPECT_STREQ(small, "");
    EXPECT_EQ(StrCopy(nullptr, "abc", 8), nullptr);

    // A 300-character name into a 260-byte buffer: 259 bytes and a terminator,
    // nothing written past the buffer (the guard bytes stay).
    char guarded[262];
    std::memset(guarded, '#', sizeof guarded);
    const std::string longName(300, 'n');
    StrCopy(guarded, longName.c_str(), 260);
    EXPECT_EQ(std::strlen(guarded), 259u);
    EXPECT_EQ(guarded[260], '#');
    EXPECT_EQ(guarded[261], '#');
}

TEST(StringUtils, TrimRemovesOuterWhiteSpaceOnly) {
    char text[32];
    std::strcpy(text, " \t two  words \r\n");
    EXPECT_STREQ(StrTrim(text), "two  words");
    std::strcpy(text, "   ");
    EXPECT_STREQ(StrTrim(text), "");
    std::strcpy(text, "   ");
    EXPECT_STREQ(StrTrimRight(text), "   "); // white space only is left alone
    std::strcpy(text, "  value \t \t");
    EXPECT_STREQ(StrTrimRight(text), "  value");
    std::strcpy(text, "\v\fx\v\f");
    EXPECT_STREQ(StrTrim(text), "x");
    EXPECT_EQ(StrTrim(nullptr), nullptr);
    EXPECT_EQ(StrTrimRight(nullptr), nullptr);
    EXPECT_EQ(StrTrimRightKnown(nullptr, 5), 0u);
    StrClear(nullptr);
}

TEST(StringUtils, CaseConversionChangesAsciiLettersOnly) {
    char text[32];
    std::strcpy(text, "aSky_dome-9\xE9z");
    EXPECT_STREQ(StrToUpper(text), "ASKY_DOME-9\xE9Z");
    EXPECT_STREQ(StrToLower(text), "asky_dome-9\xE9z");
    EXPECT_EQ(StrToUpper(nullptr), nullptr);
}

TEST(StringUtils, DuplicateComesFromMemAndGoesBack) {
    ConfigHost h;
    char* copy = StrDuplicate("TRUE");
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy, "TRUE");
    char* empty = StrDuplicate("");
    ASSERT_NE(empty, nullptr); // a new one-byte string, not null
    EXPECT_STREQ(empty, "");
    EXPECT_EQ(StrDuplicate(nullptr), nullptr);
    EXPECT_EQ(h.LeakedBlocks(), 2u);
    StrFree(&copy);
    StrFree(&empty);
    EXPECT_EQ(copy, nullptr);
    EXPECT_EQ(h.LeakedBlocks(), 0u);
    StrFree(&copy); // already null: nothing happens
    StrFree(nullptr);

    h.host.mem.FailAt(1);
    EXPECT_EQ(StrDuplicate("refused"), nullptr);
}

struct PathCase {
    const char* directory;
    const char* name;
    const char* expected;
};

TEST(StringUtils, FilePathJoinsDirectoryAndName) {
    const PathCase cases[] = {
        {"", "f.dat", "f.dat"},         {nullptr, "f.dat", ".\\f.dat"},    {"dir\\", "f.dat", "dir\\f.dat"},
        {"dir", "f.dat", "dir\\f.dat"}, {nullptr, "a\\f.dat", "a\\f.dat"}, {"C:\\x", "a\\f.dat", "a\\f.dat"},
    };
    for (const PathCase& c : cases) {
        char out[260];
        fmgCheckFilePath(c.directory, c.name, out, sizeof out);
        EXPECT_STREQ(out, c.expected) << (c.directory ? c.directory : "(null)") << " + " << c.name;
    }
}

TEST(StringUtils, FileNameAddsTheExtensionOnlyWhenThePathHasNoDot) {
    const PathCase cases[] = {
        {nullptr, "sky", ".\\sky.INI"},
        {nullptr, "sky.env", ".\\sky.env"},
        {nullptr, "data\\sky", "data\\sky.INI"},
        {"C:\\env", "sky", "C:\\env\\sky.INI"},
        {"C:\\my.dir", "sky", "C:\\my.dir\\sky"}, // the directory's dot counts
        {nullptr, "sky.", ".\\sky."},             // a final dot counts too
    };
    for (const char* extension : {"INI", ".INI"}) {
        for (const PathCase& c : cases) {
            char out[260];
            fmgCheckFilename(c.directory, c.name, extension, out, sizeof out);
            EXPECT_STREQ(out, c.expected) << c.name << " with " << extension;
        }
    }
    char out[260];
    fmgCheckFilename(nullptr, "sky", nullptr, out, sizeof out);
    EXPECT_STREQ(out, ".\\sky");
}

TEST(StringUtils, FileNameBuildersStayInsideSmallBuffers) {
    // ".\" fills 2 of 5 bytes, "\" is not added (the directory ends with
    // one), the name gets the remaining 2, the extension finds no room.
    char out[8];
    std::memset(out, '#', sizeof out);
    fmgCheckFilename(nullptr, "abcdef", "INI", out, 5);
    EXPECT_STREQ(out, ".\\ab");
    EXPECT_EQ(out[5], '#');

    // Room for the dot but not for the extension.
    std::memset(out, '#', sizeof out);
    fmgCheckFilename("", "abc", "INI", out, 5);
    EXPECT_STREQ(out, "abc.");
    EXPECT_EQ(out[5], '#');

    // A 300-character name into a 260-byte path: bounded and terminated.
    const std::string longName(300, 'n');
    char path[262];
    std::memset(path, '#', sizeof path);
    fmgCheckFilename(nullptr, longName.c_str(), "INI", path, 260);
    EXPECT_EQ(std::strlen(path), 259u);
    EXPECT_EQ(std::string(path, 2), ".\\");
    EXPECT_EQ(path[260], '#');
    std::memset(path, '#', sizeof path);
    fmgCheckFilePath(std::string(300, 'd').c_str(), "f.dat", path, 260);
    EXPECT_EQ(std::strlen(path), 259u);
    EXPECT_EQ(path[260], '#');
    // A 1-byte buffer still comes back terminated, and nothing is written past it.
    std::memset(out, '#', sizeof out);
    fmgCheckFilePath("dir", "f.dat", out, 1);
    EXPECT_TRUE(out[0] == '\0' && out[1] == '#');
}

TEST(StringUtils, EmptyNamesGiveAnEmptyPathAndAMessage) {
    ConfigHost h;
    char out[16] = "previous";
    fmgCheckFilePath("dir", "", out, sizeof out);
    EXPECT_STREQ(out, "");
    std::strcpy(out, "previous");
    fmgCheckFilename("dir", nullptr, "INI", out, sizeof out);
    EXPECT_STREQ(out, "");
    fmgCheckFilename("dir", nullptr, "INI", nullptr, 0);
    fmgCheckFilePath("dir", nullptr, nullptr, 0);
    ASSERT_EQ(h.host.messages.size(), 4u);
    EXPECT_EQ(h.host.messages[0], "fmgCheckFilePath: NULL string passed in as argument, no action taken.");
    EXPECT_EQ(h.host.messages[1], "fmgCheckFilename: NULL string passed in as argument, no action taken.");
    // A buffer of no size is never written, with a name or without one.
    std::strcpy(out, "kept");
    for (const char* name : {"", "f"}) {
        fmgCheckFilePath("dir", name, out, 0);
        fmgCheckFilename("dir", name, "INI", out, 0);
        fmgCheckFilename("dir", name, "INI", nullptr, 16);
        fmgCheckFilePath("dir", name, nullptr, 16);
    }
    EXPECT_STREQ(out, "kept");
}

} // namespace
} // namespace envsys
