// Name patterns from Environment Files: integer conversions are formatted,
// anything else is refused before it reaches a formatting function.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "config/StringUtils.h"
#include "tests/config/ConfigTestSupport.h"

namespace envsys {
namespace {

using testing::ConfigHost;

std::string Format(const char* pattern, int32_t argCount, int32_t a = 0, int32_t b = 0, bool* ok = nullptr) {
    char out[260];
    std::memset(out, '#', sizeof out);
    const bool result = FormatIntegerPattern(out, sizeof out, pattern, argCount, a, b);
    if (ok != nullptr) *ok = result;
    return out;
}

TEST(FormatIntegerPattern, FormatsIntegerConversionsWithFlagsWidthAndPrecision) {
    EXPECT_EQ(Format("LensFlare%03d", 1, 7), "LensFlare007");
    EXPECT_EQ(Format("WindChange[%02d].ChangeTime", 1, 12), "WindChange[12].ChangeTime");
    EXPECT_EQ(Format("TextureStage[%02d].", 1, 3), "TextureStage[03].");
    EXPECT_EQ(Format("cloud%d_%x.tga", 2, 4, 255), "cloud4_ff.tga");
    EXPECT_EQ(Format("%-4i|%+d", 2, 5, 6), "5   |+6");
    EXPECT_EQ(Format("% d|%#X", 2, 5, 255), " 5|0XFF");
    EXPECT_EQ(Format("%#o|%.3u", 2, 8, 7), "010|007");
    EXPECT_EQ(Format("%c%c", 2, 'A', 'b'), "Ab");
    EXPECT_EQ(Format("100%% sky%d", 1, 2), "100% sky2");
    EXPECT_EQ(Format("plain.tga", 0), "plain.tga");
    EXPECT_EQ(Format("%5.3d", 1, -7), " -007");
    // Flags in either order; the widest field arrives whole.
    EXPECT_EQ(Format("%#08x|%0#8x", 2, 31, 31), "0x00001f|0x00001f");
    EXPECT_EQ(Format("%259d", 1, 42), std::string(257, ' ') + "42");
}

TEST(FormatIntegerPattern, RefusesHostilePatternsWithAnEmptyOutputAndAMessage) {
    ConfigHost h;
    const std::vector<std::string> hostile =
        testing::Split("%s name%n %*d %.*d %ld %lld %hd %zu %jd %qd %I64d %f %e %p %a tail% %d%d%d %5$d %1000d %.1000d "
                       "%#d %05c %.2c %- %99999999999999999999d %000000000000001d",
                       ' ');
    for (const std::string& pattern : hostile) {
        h.host.messages.clear();
        bool ok = true;
        EXPECT_EQ(Format(pattern.c_str(), 2, 1, 2, &ok), "") << pattern;
        EXPECT_FALSE(ok) << pattern;
        ASSERT_EQ(h.host.messages.size(), 1u) << pattern;
        EXPECT_EQ(h.host.messages[0], "Invalid name pattern " + pattern + "!");
    }
    // More conversions than arguments.
    bool ok = true;
    EXPECT_EQ(Format("%d_%d", 1, 1, 2, &ok), "");
    EXPECT_FALSE(ok);
    EXPECT_EQ(Format("%d", 0, 1, 2, &ok), "");
    EXPECT_FALSE(ok);
    EXPECT_EQ(Format(nullptr, 1, 1, 2, &ok), "");
    EXPECT_FALSE(ok);
    for (int32_t argCount : {-1, 3}) {
        EXPECT_EQ(Format("x", argCount, 1, 2, &ok), "");
        EXPECT_FALSE(ok);
    }
    char tiny[1] = {'#'};
    EXPECT_FALSE(FormatIntegerPattern(nullptr, 10, "%d", 1, 1));
    EXPECT_FALSE(FormatIntegerPattern(tiny, 0, "%d", 1, 1));
    EXPECT_EQ(tiny[0], '#');
}

TEST(FormatIntegerPattern, OutputIsBoundedAndTerminated) {
    // 300 literal characters and a conversion: 259 characters arrive.
    const std::string pattern = std::string(300, 'p') + "%d";
    EXPECT_EQ(Format(pattern.c_str(), 1, 5), std::string(259, 'p'));

    // The widest conversion accepted (259) fills a small buffer exactly.
    char out[12];
    std::memset(out, '#', sizeof out);
    EXPECT_TRUE(FormatIntegerPattern(out, 8, "ab%259d", 1, 42));
    EXPECT_STREQ(out, "ab     ");
    EXPECT_EQ(out[8], '#');
    std::memset(out, '#', sizeof out);
    EXPECT_TRUE(FormatIntegerPattern(out, 4, "%d", 1, -2147483647 - 1));
    EXPECT_STREQ(out, "-21");
    EXPECT_EQ(out[4], '#');
    // A "%%" that finds the buffer full ends the output there.
    EXPECT_TRUE(FormatIntegerPattern(out, 3, "ab%%%d", 1, 5));
    EXPECT_STREQ(out, "ab");

    // Many valid conversions of one argument are still bounded by the count.
    const std::string many = std::string("%%") + std::string(150, 'x') + "%259d" + "%%";
    std::string formatted = Format(many.c_str(), 1, 1);
    EXPECT_EQ(formatted.size(), 259u);
    EXPECT_EQ(formatted.substr(0, 151), "%" + std::string(150, 'x'));
}

} // namespace
} // namespace envsys
