// The star converter: CSV in, the binary star data file out, byte for byte.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "tools/StarCatalog.h"

namespace envtools {
namespace {

uint32_t U32At(const std::string& s, size_t at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<uint32_t>(static_cast<unsigned char>(s[at + i])) << (8 * i);
    return v;
}

float FloatAt(const std::string& s, size_t at) {
    const uint32_t bits = U32At(s, at);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

std::string Data(const std::string& name) {
    std::ifstream in(ENVSYS_SOURCE_DIR "/tests/data/stars/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// tests/data/stars/three.csv: a header, CR LF and LF line breaks, a blank
// line, a comment, blanks around the fields, a lower-case class and no line
// break at the end.
TEST(StarCatalog, ConvertsACsvIntoCountAndSixteenByteRecords) {
    const StarCatalog catalog = ParseStarCsv(Data("three.csv"));
    EXPECT_TRUE(catalog.errors.empty());
    ASSERT_EQ(catalog.stars.size(), 3u);
    EXPECT_EQ(catalog.stars[1].spectralClass, 'M'); // classes are upper-cased
    const std::string bytes = EncodeStarData(catalog.stars);
    // 4 bytes of count, then 3 records of 16 bytes.
    ASSERT_EQ(bytes.size(), 4u + 3 * 16);
    EXPECT_EQ(U32At(bytes, 0), 3u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 3); // little-endian
    EXPECT_FLOAT_EQ(FloatAt(bytes, 4), 101.28717f);
    EXPECT_FLOAT_EQ(FloatAt(bytes, 8), -16.71611f);
    EXPECT_FLOAT_EQ(FloatAt(bytes, 12), -1.44f);
    EXPECT_EQ(bytes[16], 'A');
    EXPECT_EQ(std::string(bytes.data() + 17, 3), std::string(3, '\0'));
    EXPECT_FLOAT_EQ(FloatAt(bytes, 20), 88.793f);
    EXPECT_EQ(bytes[32], 'M');
    EXPECT_FLOAT_EQ(FloatAt(bytes, 44), 0.03f);

    std::vector<StarEntry> back;
    ASSERT_TRUE(DecodeStarData(bytes, &back));
    ASSERT_EQ(back.size(), 3u);
    EXPECT_FLOAT_EQ(back[2].declination, 38.7837f);
    EXPECT_EQ(back[2].spectralClass, 'A');
}

// tests/data/stars/malformed.csv: line 2 has three fields, line 3 a word
// for a number, lines 4 and 5 a right ascension and a declination out of
// range, line 6 two class letters, line 7 a magnitude that is not finite;
// line 8 is kept, with a warning for its class.
TEST(StarCatalog, ReportsMalformedLinesByNumberAndKeepsTheRest) {
    const StarCatalog catalog = ParseStarCsv(Data("malformed.csv"));
    ASSERT_EQ(catalog.errors.size(), 6u);
    EXPECT_EQ(catalog.errors[0].rfind("line 2:", 0), 0u);
    EXPECT_EQ(catalog.errors[5].rfind("line 7:", 0), 0u);
    ASSERT_EQ(catalog.stars.size(), 2u);
    EXPECT_EQ(catalog.stars[1].spectralClass, 'X');
    ASSERT_EQ(catalog.warnings.size(), 1u);
    EXPECT_EQ(catalog.warnings[0].rfind("line 8:", 0), 0u);
}

TEST(StarCatalog, DecodingRefusesTruncatedOrNegativeCounts) {
    std::vector<StarEntry> stars;
    const std::string two = EncodeStarData({{1, 2, 3, 'B'}, {4, 5, 6, 'K'}});
    EXPECT_TRUE(DecodeStarData(two, &stars));
    EXPECT_FALSE(DecodeStarData(two.substr(0, two.size() - 1), &stars));
    EXPECT_FALSE(DecodeStarData(std::string("\xFF\xFF\xFF\xFF", 4), &stars));
    EXPECT_FALSE(DecodeStarData("", &stars));
    EXPECT_TRUE(DecodeStarData(EncodeStarData({}), &stars));
    EXPECT_TRUE(stars.empty());
}

} // namespace
} // namespace envtools
