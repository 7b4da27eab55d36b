// Typed value access: numbers, booleans, texts with case modes, vectors,
// colours, counts, and the record-defaults mode.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "config/IniFile.h"
#include "config/StringUtils.h"
#include "tests/config/ConfigTestSupport.h"
#include "tests/config/ValueListRule.h"

namespace envsys {
namespace {

using testing::ConfigHost;
using testing::kMsvcrtNumbers;

struct Getters : ::testing::Test {
    // tests/data/config/values.ini: one section per kind of getter.
    Getters() { file = new IniFile("values.ini", 0, 0); }
    ~Getters() override { delete file; }
    std::string String(const char* section, const char* key, const char* defaultValue, int32_t caseMode = 0) {
        char out[260];
        file->GetString(section, key, defaultValue, out, sizeof out, caseMode);
        return out;
    }
    ConfigHost h;
    IniFile* file = nullptr;
};

TEST_F(Getters, NumbersAreWhatAtolAndStrtodGive) {
    struct Case {
        const char* section;
        const char* key;
        int32_t integer; // GetInt with default 9
        float number;    // GetFloat with default 9
    };
    // Float: the double, then float. Hex: atol stops at the x, a C99 strtod
    // reads hex, msvcrt's stops at the x too. Empty, Blank, Text: present but
    // empty or not numeric gives 0, not the default; only a missing key,
    // section or name gives the default. Huge and Tiny: integers saturate at
    // 32 bits, as atol does on a 32-bit C99 runtime; msvcrt's keeps them
    // modulo 2^32 (99999999999 - 23 x 2^32).
    const Case cases[] = {{"Values", "Int", 42, 42.0f},
                          {"values", "NEGATIVE", -17, -17.0f},
                          {"Values", "Float", 0, static_cast<float>(0.1)},
                          {"Values", "Hex", 0, kMsvcrtNumbers ? 0.0f : 16.0f},
                          {"Values", "Exp", 1, 1000.0f},
                          {"Values", "Empty", 0, 0.0f},
                          {"Values", "Blank", 0, 0.0f},
                          {"Values", "Text", 0, 0.0f},
                          {"Values", "Missing", 9, 9.0f},
                          {"Nowhere", "Int", 9, 9.0f},
                          {"", "Int", 9, 9.0f},
                          {nullptr, "Int", 9, 9.0f},
                          {"Values", nullptr, 9, 9.0f},
                          {"Values", "Huge", kMsvcrtNumbers ? 1215752191 : 2147483647, 99999999999.0f},
                          {"Values", "Tiny", kMsvcrtNumbers ? -1215752191 : -2147483647 - 1, -99999999999.0f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << (c.section ? c.section : "(null)") << "/" << (c.key ? c.key : "(null)"));
        EXPECT_EQ(file->GetInt(c.section, c.key, 9), c.integer);
        EXPECT_EQ(file->GetFloat(c.section, c.key, 9.0f), c.number);
    }
}

TEST_F(Getters, ValueKindFollowsTheLastGetter) {
    IniKey* key = file->FindKey("Values", "Five");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->valueKind, 0u);
    file->GetInt("Values", "Five", 0);
    EXPECT_EQ(key->valueKind, 1u);
    file->GetFloat("Values", "Five", 0);
    EXPECT_EQ(key->valueKind, 2u);
    String("Values", "Five", "");
    EXPECT_EQ(key->valueKind, 0u);
    file->GetBool("Values", "Five", 0);
    EXPECT_EQ(key->valueKind, 1u);
    IniKey* word = file->FindKey("Values", "True");
    file->GetFloat("Values", "True", 0);
    file->GetBool("Values", "True", 0);
    EXPECT_EQ(word->valueKind, 0u);
}

TEST_F(Getters, BooleansReadTrueFalseOrTheIntegersTruth) {
    // Yes reads as the integer 0, 5 as 1 (not 5); a missing key returns the
    // default unchanged.
    const std::pair<const char*, int32_t> cases[] = {{"Word", 0}, {"True", 1}, {"TrueUpper", 1}, {"False", 0},
                                                     {"Five", 1}, {"Zero", 0}, {"Empty", 0},     {"Missing", 7}};
    for (const auto& c : cases)
        EXPECT_EQ(file->GetBool("Values", c.first, 7), c.second) << c.first;
    EXPECT_EQ(file->GetBool("Values", "True", 0), 1);
}

TEST_F(Getters, StringsAreBoundedAndCaseIsAppliedToFoundValuesOnly) {
    EXPECT_EQ(String("Values", "Text", "x"), "abc Def");
    EXPECT_EQ(String("Values", "Text", "x", 1), "ABC DEF");
    EXPECT_EQ(String("Values", "Text", "x", 2), "abc def");
    EXPECT_EQ(String("Values", "Missing", "abc", 1), "abc");
    EXPECT_EQ(String("Values", "Empty", "x"), "");
    EXPECT_EQ(String("Values", "Missing", nullptr), "");
    char small[4];
    file->GetString("Values", "Text", "", small, sizeof small, 1);
    EXPECT_STREQ(small, "ABC");
    file->GetString("Values", "Text", "", nullptr, 10, 0); // nothing happens
    char untouched[2] = {'#', '#'};
    file->GetString("Values", "Text", "", untouched, 0, 1);
    EXPECT_EQ(untouched[0], '#');
}

TEST_F(Getters, StringCopiesAreHeapStringsOrNone) {
    char* copy = GetStringCopy(file, "Values", "Text", 1);
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy, "ABC DEF");
    StrFree(&copy);
    EXPECT_EQ(GetStringCopy(file, "Values", "Empty", 0), nullptr);
    EXPECT_EQ(GetStringCopy(file, "Values", "Missing", 0), nullptr);
    EXPECT_EQ(GetStringCopy(nullptr, "Values", "Text", 0), nullptr);
}

TEST_F(Getters, VectorsReadUpToThreeCommaSeparatedParts) {
    // No comma gives all zero, a fourth part is ignored, empty parts are 0,
    // a missing key zeroes the vector.
    const struct {
        const char* key;
        float x, y, z;
    } cases[] = {{"Full", 1.5f, -2.0f, 3.25f},
                 {"Two", 1.0f, 2.0f, 0.0f},
                 {"One", 0.0f, 0.0f, 0.0f},
                 {"Four", 1.0f, 2.0f, 3.0f},
                 {"Stray", 0.0f, 0.0f, 7.0f},
                 {"Spaced", 1.0f, 2.0f, 3.0f},
                 {"Missing", 0.0f, 0.0f, 0.0f},
                 // 0.46 of a double's step above the float halfway 16777217: the
                 // correctly rounded double is the halfway, which rounds to even;
                 // the 18-digit mantissa rounded to a double first would end
                 // 0.86 of a step above it and round up to 16777218.
                 {"Halfway", 16777216.0f, 0.0f, 0.0f}};
    for (const auto& c : cases) {
        float v[3] = {9, 9, 9};
        GetVector(v, file, "Vectors", c.key);
        EXPECT_EQ(std::vector<float>(v, v + 3), std::vector<float>({c.x, c.y, c.z})) << c.key;
    }
    GetVector(nullptr, file, "Vectors", "Full");
    float none[3] = {9, 9, 9};
    GetVector(none, nullptr, "Vectors", "Full"); // no document: a zero vector
    EXPECT_EQ(std::vector<float>(none, none + 3), std::vector<float>({0, 0, 0}));
    EXPECT_EQ(GetColor(none, nullptr, "Vectors", "Full"), 0);
}

TEST_F(Getters, ColoursAreClampedAndNeedThreeParts) {
    // Clamped to 0..1; three empty parts are a colour of zeros; NaN never
    // reaches the host as a colour and infinity clamps to 1; fewer than three
    // parts or a missing key leave the colour as it was.
    const struct {
        const char* key;
        int32_t found;
        std::vector<float> expected;
    } cases[] = {{"Clamped", 1, {1.0f, 0.5f, 0.0f}},
                 {"Commas", 1, {0.0f, 0.0f, 0.0f}},
                 {"Nan", 1, {0.0f, 0.5f, 1.0f}},
                 {"Short", 0, {0.25f, 0.625f, 0.75f}},
                 {"Missing", 0, {0.25f, 0.625f, 0.75f}}};
    for (const auto& c : cases) {
        float color[3] = {0.25f, 0.625f, 0.75f}; // unlike every colour read, part by part
        EXPECT_EQ(GetColor(color, file, "Colors", c.key), c.found) << c.key;
        EXPECT_EQ(std::vector<float>(color, color + 3), c.expected) << c.key;
    }

    float a[4] = {9, 9, 9, 9};
    EXPECT_EQ(GetColorAlpha(a, file, "Colors", "Alpha"), 1);
    EXPECT_FLOAT_EQ(a[3], 0.4f);
    EXPECT_EQ(GetColorAlpha(a, file, "Colors", "AlphaHigh"), 1);
    EXPECT_EQ(a[3], 1.0f);
    EXPECT_EQ(GetColorAlpha(a, file, "Colors", "Clamped"), 1);
    EXPECT_EQ(a[3], 1.0f); // no fourth part
    a[3] = 0.5f;
    EXPECT_EQ(GetColorAlpha(a, file, "Colors", "Short"), 0);
    EXPECT_EQ(a[3], 0.5f);
    EXPECT_EQ(GetColor(nullptr, file, "Colors", "Alpha"), 0);
}

TEST_F(Getters, CountsStopAtTheFirstGap) {
    EXPECT_EQ(file->CountKeys("Counts", "WindChange[%02d].ChangeTime"), 2);
    EXPECT_EQ(file->CountKeys("Nowhere", "WindChange[%02d].ChangeTime"), 0);
    EXPECT_EQ(file->CountSections("Layer%d"), 3);
    EXPECT_EQ(file->CountSections("Cloud%d"), 0);
    EXPECT_EQ(file->HasSection("layer5"), 1);
    EXPECT_EQ(file->HasSection("Layer4"), 0);
    EXPECT_EQ(file->HasSection(""), 0);
    // A pattern that does not change with the number ends at the number of
    // sections; a hostile one counts nothing.
    EXPECT_EQ(file->CountSections("Layer1"), file->sections.count);
    EXPECT_EQ(file->CountSections("Layer%s"), 0);
    EXPECT_EQ(file->CountKeys("Counts", "%n"), 0);
}

// Colours and vectors are read straight from the value text when each part is
// a plain decimal. Generated values of every form must read exactly as the
// rule gives them (tests/config/ValueListRule.h).
TEST(GettersLists, GeneratedValuesReadAsTheCopySplitAndStrtodGiveThem) {
    // The parts a value is made of, set off by '|' (the ninth is empty).
    const std::vector<std::string> parts = testing::Split(
        "0.5|1|0.25|-0.75| 0.5|+.5|5.|.||1e-1|0x1p-2|abc|0.5abc|inf|nan|1.5 |2,|0.000000001|12345678901234567890.5|-0",
        '|');
    uint32_t state = 7;
    auto next = [&state](uint32_t bound) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % bound;
    };
    std::string text = "[L]\n";
    constexpr int kKeys = 1500;
    for (int k = 0; k < kKeys; ++k) {
        std::string value;
        // Every seventh value has a second part set off by many blanks, so
        // that the 259-byte bound of the copy falls on, before or after its
        // end.
        if (k % 7 == 0) value = "0.25," + std::string(245 + next(20), ' ');
        const int count = 1 + static_cast<int>(next(5));
        for (int i = 0; i < count; ++i) {
            if (i > 0) value += ",";
            value += parts[next(static_cast<uint32_t>(parts.size()))];
        }
        text += "K" + std::to_string(k) + "=" + value + "\n";
    }
    ConfigHost h;
    h.host.files.Add("lists.ini", text);
    IniFile file("lists.ini", 0, 0);
    for (int k = 0; k < kKeys; ++k) {
        const std::string key = "K" + std::to_string(k);
        const IniKey* record = file.FindKey("L", key.c_str());
        ASSERT_NE(record, nullptr);
        const char* value = record->value != nullptr ? record->value : "";
        const testing::ListReading want = testing::ReadListByRule(value, 0.125f);
        float color[4] = {0.125f, 0.125f, 0.125f, 0.125f};
        EXPECT_EQ(GetColorAlpha(color, &file, "L", key.c_str()), want.colorFound) << value;
        float vector[3] = {9, 9, 9};
        GetVector(vector, &file, "L", key.c_str());
        for (int i = 0; i < 4; ++i)
            EXPECT_TRUE(testing::SameFloat(color[i], want.color[i])) << value << " colour part " << i;
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(testing::SameFloat(vector[i], want.vector[i])) << value << " vector part " << i;
    }
}

// Lookups try the cursor node and the one after it by their exact bytes before
// the search from the cursor. A mixed run of requests (in file order, again,
// backwards, in other letter cases, missing) must find the same records and
// leave both cursors where the search from the cursor alone leaves them.
TEST(GettersLookups, TheQuickTriesFindWhatTheSearchFromTheCursorFinds) {
    std::string text;
    for (int s = 0; s < 6; ++s) {
        text += "[Section" + std::to_string(s) + "]\n";
        for (int k = 0; k < 8; ++k)
            text += "Key" + std::to_string(k) + "=" + std::to_string(s * 10 + k) + "\n";
    }
    text += "[]\n=1\n";
    ConfigHost h;
    h.host.files.Add("lookups.ini", text);
    IniFile file("lookups.ini", 0, 0);
    IniFile reference("lookups.ini", 0, 0);
    uint32_t state = 3;
    auto next = [&state](uint32_t bound) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % bound;
    };
    auto spell = [&next](std::string name) {
        const uint32_t form = next(6);
        for (char& c : name)
            if (form == 0)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            else if (form == 1)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return name;
    };
    int section = 0;
    int key = 0;
    for (int i = 0; i < 4000; ++i) {
        switch (next(6)) {
        case 0: // somewhere else, possibly missing
            section = static_cast<int>(next(8));
            key = static_cast<int>(next(10));
            break;
        case 1: // the same key again
            break;
        default: // the next key in file order
            if (++key == 8) {
                key = 0;
                section = (section + 1) % 6;
            }
        }
        const std::string sectionName = section == 7 ? "" : spell("Section" + std::to_string(section));
        const std::string keyName = key == 9 ? "" : spell("Key" + std::to_string(key));
        const IniKey* found = file.FindKey(sectionName.c_str(), keyName.c_str());

        const IniKey* expected = nullptr;
        IniSection* expectedSection = nullptr;
        if (reference.sections.FindByName(sectionName.c_str())) {
            expectedSection = static_cast<IniSection*>(reference.sections.CurrentData());
            if (expectedSection->keys.FindByName(keyName.c_str()))
                expected = static_cast<const IniKey*>(expectedSection->keys.CurrentData());
        }
        const std::string request = sectionName + "/" + keyName;
        ASSERT_EQ(found == nullptr, expected == nullptr) << request;
        if (found != nullptr) {
            ASSERT_EQ(found->integerValue, expected->integerValue) << request;
        }
        ASSERT_EQ(file.sections.cursorIndex, reference.sections.cursorIndex) << request;
        if (expectedSection != nullptr) {
            const IniSection* foundSection = file.FindSection(sectionName.c_str());
            ASSERT_EQ(foundSection->keys.cursorIndex, expectedSection->keys.cursorIndex) << request;
        }
    }
}

TEST(GettersRecordDefaults, MissingKeysAreAddedWithTheirDefaults) {
    ConfigHost h;
    h.host.files.Add("record.ini", "[Old]\nKept=1\n");
    {
        IniFile file("record.ini", 1, 0);
        EXPECT_EQ(file.GetInt("Old", "Count", 12), 12);
        EXPECT_EQ(file.GetFloat("New", "Scale", 2.5f), 2.5f);
        EXPECT_EQ(file.GetBool("New", "Flag", 3), 3);
        char out[32];
        file.GetString("New", "Name", "Sky Dome", out, sizeof out, 1);
        EXPECT_STREQ(out, "Sky Dome");
        // A colour reads its text with the empty default, which is recorded.
        float tint[3] = {0.5f, 0.5f, 0.5f};
        EXPECT_EQ(GetColor(tint, &file, "New", "Tint"), 0);
        EXPECT_EQ(testing::KeyList(file, "Old"), "Kept=1,Count");
        EXPECT_EQ(testing::KeyList(file, "New"), "Scale,Flag=TRUE,Name=Sky Dome,Tint=");
        // Read back: the integer and float of each recorded value.
        IniKey* count = file.FindKey("Old", "Count");
        EXPECT_EQ(count->integerValue, 12);
        EXPECT_EQ(count->floatValue, 12.0f);
        EXPECT_EQ(count->valueKind, 1u);
        IniKey* scale = file.FindKey("New", "Scale");
        EXPECT_EQ(scale->integerValue, 2);
        EXPECT_EQ(scale->valueKind, 2u);
        EXPECT_EQ(file.GetBool("New", "Flag", 0), 1);
        EXPECT_EQ(file.GetInt("Old", "Count", 0), 12);
        // Found keys are not added again; empty names are never recorded.
        EXPECT_EQ(file.GetInt("Old", "Kept", 5), 1);
        EXPECT_EQ(file.GetInt("", "Key", 5), 5);
        EXPECT_EQ(file.GetInt("Old", "", 5), 5);
        EXPECT_EQ(file.sections.count, 2);
        EXPECT_EQ(file.FindSection("Old")->keys.count, 2);
        EXPECT_TRUE(file.SetInt("Old", "Kept", 3)); // already there: the first wins
        EXPECT_EQ(file.GetInt("Old", "Kept", 5), 1);
        // A float's integer reading saturates and NaN reads 0; no text is empty.
        const float floats[] = {3e9f, -3e9f, std::nanf("")};
        const int32_t integers[] = {INT32_MAX, INT32_MIN, 0};
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(file.SetFloat("Float", std::to_string(i).c_str(), floats[i]));
            EXPECT_EQ(file.GetInt("Float", std::to_string(i).c_str(), 5), integers[i]);
        }
        ASSERT_TRUE(file.SetString("Old", "Null", nullptr));
        EXPECT_EQ(file.FindKey("Old", "Null")->integerValue, 0);
    }
    EXPECT_EQ(h.LeakedBlocks(), 0u);
}

TEST(GettersRecordDefaults, AFullBufferRecordsNothing) {
    ConfigHost h;
    IniFile file("none", 1, 1);
    file.text.end = file.text.base + file.text.capacity - 3;
    EXPECT_EQ(file.GetInt("S", "LongName", 4), 4);
    EXPECT_TRUE(h.host.Logged("Unable to append string key name LongName to the buffer!"));
    EXPECT_EQ(file.GetBool("S", "K", 0), 0); // "K" fits, "FALSE" does not
    EXPECT_TRUE(h.host.Logged("Unable to append string FALSE to the buffer!"));
    EXPECT_EQ(file.sections.count, 0);
}

} // namespace
} // namespace envsys
