// The star converter: CSV in, the binary star data file out, byte for byte.
#include <gtest/gtest.h>

#include <cstring>

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

TEST(StarCatalog, ConvertsACsvIntoCountAndSixteenByteRecords) {
    const std::string csv = "ra_deg,dec_deg,mag,class_letter\r\n"
                            "101.28717,-16.71611,-1.44,A\r\n"
                            "\n"
                            "# a comment line\n"
                            " 88.79300 , 7.40710 , 0.45 , m \n"
                            "279.2348,38.7837,0.03,A";
    const StarCatalog catalog = ParseStarCsv(csv);
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

TEST(StarCatalog, ReportsMalformedLinesByNumberAndKeepsTheRest) {
    const std::string csv = "10,20,1.0,G\n"
                            "10,20,1.0\n"         // line 2: three fields
                            "abc,20,1.0,G\n"      // line 3: not a number
                            "360,0,1,G\n"         // line 4: right ascension out of range
                            "10,-90.5,1,G\n"      // line 5: declination out of range
                            "10,20,1,GK\n"        // line 6: two letters
                            "10,20,nan,G\n"       // line 7: not finite
                            "359.99,-90,6.5,X\n"; // line 8: kept, with a warning
    const StarCatalog catalog = ParseStarCsv(csv);
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
