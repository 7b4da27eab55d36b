// Material definitions read into the 896-byte record, byte for byte.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "config/IniFile.h"
#include "config/Material.h"
#include "tests/config/ConfigTestSupport.h"

namespace envsys {
namespace {

using testing::ConfigHost;

uint16_t U16(const MaterialRecord& r, size_t offset) {
    uint16_t v;
    std::memcpy(&v, reinterpret_cast<const uint8_t*>(&r) + offset, 2);
    return v;
}
uint32_t U32(const MaterialRecord& r, size_t offset) {
    uint32_t v;
    std::memcpy(&v, reinterpret_cast<const uint8_t*>(&r) + offset, 4);
    return v;
}
uint8_t U8(const MaterialRecord& r, size_t offset) { return reinterpret_cast<const uint8_t*>(&r)[offset]; }

// tests/data/config/material.ini: one material with every kind of key.
struct Material : ::testing::Test {
    ConfigHost h;
    IniFile file{"material.ini", 0, 0};
    MaterialRecord record;
};

TEST_F(Material, ReadsFlagsColoursTablesAndStages) {
    std::memset(&record, 0xAB, sizeof record);
    ASSERT_TRUE(LoadMaterial(&record, &file, "material"));
    // DepthBufferCheck, DepthBufferWrite, LightEnabled, FogEnabled (5 is
    // true) and priority 2; SpecularEnabled=Yes reads as 0.
    EXPECT_EQ(record.flags, 0x10u | 0x20u | 0x1u | 0x8u | 0x40000u);
    EXPECT_FLOAT_EQ(record.ambient[0], 0.2f);
    EXPECT_FLOAT_EQ(record.ambient[2], 0.4f);
    EXPECT_EQ(record.diffuse[0], 1.0f); // 1.5,0.5,-2 clamped
    EXPECT_EQ(record.diffuse[1], 0.5f);
    EXPECT_EQ(record.diffuse[2], 0.0f);
    EXPECT_EQ(record.specular[0], 0.0f); // two parts only: stays zero
    EXPECT_FLOAT_EQ(record.emissive[1], 0.2f);
    EXPECT_EQ(record.specularLevel, 1.0f); // default
    EXPECT_EQ(record.specularPower, 12.5f);
    EXPECT_EQ(record.reflectivity, 0.25f);
    EXPECT_EQ(record.transparency, 0.75f);
    EXPECT_EQ(record.zBufferOffset, -3);
    EXPECT_EQ(U16(record, 70), 2u); // CullMode clockwise, in lower case
    EXPECT_EQ(U16(record, 72), 3u); // BlendOp modulate
    EXPECT_EQ(U16(record, 74), 3u);

    const TextureStage& s1 = record.stages[0];
    EXPECT_STREQ(s1.textureName, "sun01.tga");
    EXPECT_EQ(s1.textureHandle, -1);
    EXPECT_EQ(s1.flags, 0x1u | 0x2u | 0x4u); // filter, MipMap by default, TileU
    EXPECT_EQ(s1.colorOp, 8u);
    EXPECT_EQ(s1.alphaOp, 1u);
    const TextureStage& s2 = record.stages[1];
    EXPECT_EQ(std::strlen(s2.textureName), 63u); // cut to the 64-byte field
    EXPECT_EQ(s2.flags, 0x20u | 0x10000u | 0x20000u);
    EXPECT_EQ(s2.colorOp, 0u); // unlisted
    const TextureStage& s3 = record.stages[2];
    EXPECT_STREQ(s3.textureName, "");
    EXPECT_EQ(s3.flags, 0x2u | 0x8u | 0x10u);
    // Stage 4 is beyond NumTextureStages: all zero.
    const TextureStage zero{};
    EXPECT_EQ(std::memcmp(&record.stages[3], &zero, sizeof zero), 0);
    EXPECT_EQ(std::memcmp(&record.stages[7], &zero, sizeof zero), 0);
    EXPECT_EQ(U32(record, 892), 0xFFFFFFFFu);
}

TEST_F(Material, FourPassPlansLoweredToTheStageCount) {
    ASSERT_TRUE(LoadMaterial(&record, &file, "Material"));
    // Three stages: the first entries count 1, 2, 3 (4 lowered) and 3 (8
    // lowered), listing 0, 1, 2 ... with 0xFF after.
    const size_t plans[4] = {684, 736, 788, 840};
    const uint16_t counts[4] = {1, 2, 3, 3};
    for (int p = 0; p < 4; ++p) {
        const size_t at = plans[p];
        EXPECT_EQ(U32(record, at), 1u) << p;
        EXPECT_EQ(U16(record, at + 4), 3u) << p; // blend operation copied
        EXPECT_EQ(U16(record, at + 6), counts[p]) << p;
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(U8(record, at + 8 + i), i < counts[p] ? i : 0xFF) << p << "/" << i;
        EXPECT_EQ(U8(record, at + 16), 0u);
        EXPECT_EQ(U8(record, at + 17), 0u);
        for (size_t entry : {18u, 30u, 42u}) {
            EXPECT_EQ(U16(record, at + entry), 0u);
            for (int i = 0; i < 8; ++i)
                EXPECT_EQ(U8(record, at + entry + 2 + i), 0xFF) << p << "@" << entry;
        }
        EXPECT_EQ(U16(record, at + 28), 0u); // the zero bytes of entries 2 and 3
        EXPECT_EQ(U16(record, at + 40), 0u);
        EXPECT_EQ(record.passPlans[p].Entry(0).stageCount, counts[p]);
        EXPECT_EQ(record.passPlans[p].Entry(3).stageIndex[7], 0xFF);
    }
    // Eight stages lower none of them.
    ASSERT_TRUE(LoadMaterial(&record, &file, "EightStages"));
    for (int p = 0; p < 4; ++p)
        EXPECT_EQ(record.passPlans[p].Entry(0).stageCount, 1 << p);
}

TEST_F(Material, PriorityLevelsAndTheDefaultsOfAnEmptySection) {
    // levels.ini: one section per priority level and per odd stage count.
    IniFile levels("levels.ini", 0, 0);
    LoadMaterial(&record, &levels, "Low");
    EXPECT_EQ(record.flags, 0x10000u);
    LoadMaterial(&record, &levels, "One");
    EXPECT_EQ(record.flags, 0x20000u);
    LoadMaterial(&record, &levels, "High");
    EXPECT_EQ(record.flags, 0x140000u);

    // Nothing given: priority 0, specular level 1, no stages, so every plan
    // has a first count of 0.
    ASSERT_TRUE(LoadMaterial(&record, &levels, "Empty"));
    EXPECT_EQ(record.flags, 0x10000u);
    EXPECT_EQ(record.specularLevel, 1.0f);
    EXPECT_EQ(record.numTextureStages, 0);
    EXPECT_EQ(U16(record, 684 + 6), 0u);
    EXPECT_EQ(U8(record, 684 + 8), 0xFF);

    LoadMaterial(&record, &levels, "MipOnly");
    EXPECT_EQ(record.stages[0].flags, 0x2u);
    LoadMaterial(&record, &levels, "MipMissing");
    EXPECT_EQ(record.stages[0].flags, 0x2u);

    h.host.messages.clear();
    ASSERT_TRUE(LoadMaterial(&record, &levels, "Bad"));
    EXPECT_EQ(record.numTextureStages, 0);
    EXPECT_STREQ(record.stages[0].textureName, "");
    LoadMaterial(&record, &levels, "Negative");
    EXPECT_EQ(record.numTextureStages, 0);
    LoadMaterial(&record, &levels, "Empty"); // no stages is no fault
    LoadMaterial(&record, &levels, nullptr);
    const std::vector<std::string> expected = {"Material Bad has invalid element count 9!",
                                               "Material Negative has invalid element count -1!",
                                               "Unable to find material section (null)!"};
    EXPECT_EQ(h.host.messages, expected);
}

TEST_F(Material, AMissingSectionLeavesTheRecordZero) {
    std::memset(&record, 0xAB, sizeof record);
    EXPECT_FALSE(LoadMaterial(&record, &file, "Nowhere"));
    const MaterialRecord zero{};
    EXPECT_EQ(std::memcmp(&record, &zero, sizeof record), 0);
    EXPECT_TRUE(h.host.Logged("Unable to find material section Nowhere!"));
    EXPECT_FALSE(LoadMaterial(&record, nullptr, "Material"));
    EXPECT_FALSE(LoadMaterial(nullptr, &file, "Material"));
}

TEST_F(Material, TheHostGraphicsServiceFillsRecordsThroughTheSameReader) {
    MaterialRecord viaHost;
    LoadMaterial(&record, &file, "Material");
    std::memset(&viaHost, 0, sizeof viaHost);
    EXPECT_EQ(h.host.gfx.LoadMaterialRecord(&viaHost, &file, "Material"), 1);
    EXPECT_EQ(std::memcmp(&record, &viaHost, sizeof record), 0);
}

} // namespace
} // namespace envsys
