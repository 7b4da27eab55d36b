// 3D cloud storage: sizes by the file's limits, zero-filled records, the
// release on reload and unload, and limits that must not overflow.
#include <gtest/gtest.h>

#include <climits>

#include "clouds/CloudSet.h"
#include "config/IniFile.h"
#include "plugin/EnvironmentSystem.h"
#include "tests/clouds/ConfigReady.h"
#include "tests/support/TestHost.h"

namespace envsys {
namespace {

using testing::TestHost;

class CloudSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.Init();
        // What the plug-in itself holds once initialised.
        baseBlocks = host.mem.LiveBlocks();
        baseBytes = host.mem.LiveBytes();
    }
    void TearDown() override { clouds.Release(); }

    size_t Blocks() const { return host.mem.LiveBlocks() - baseBlocks; }
    size_t Bytes() const { return host.mem.LiveBytes() - baseBytes; }

    void Limits(int32_t maxClouds, int32_t maxParticles) {
        clouds.maxClouds = maxClouds;
        clouds.maxCloudParticles = maxParticles;
    }

    static bool AllZero(const void* bytes, size_t size) {
        const auto* p = static_cast<const uint8_t*>(bytes);
        for (size_t i = 0; i < size; ++i)
            if (p[i] != 0) return false;
        return true;
    }

    TestHost host;
    CloudSet clouds;
    size_t baseBlocks = 0;
    size_t baseBytes = 0;
};

TEST_F(CloudSetTest, AFileWithoutTheSectionGivesSixteenCloudsOfSixtyFourZeroParticles) {
    host.files.Add("clouds.ini", "[Other]\nKey=1\n");
    IniFile file("clouds.ini", 0, 0);
    const size_t blocks = host.mem.LiveBlocks();
    const size_t bytes = host.mem.LiveBytes();
    clouds.Load(file);
    EXPECT_TRUE(host.Logged("...loading clouds..."));
    ASSERT_EQ(clouds.clouds.count, 16);
    // One cloud block and one particle block per cloud:
    // 16 x 56 + 16 x 64 x 32 = 896 + 32768 bytes.
    EXPECT_EQ(host.mem.LiveBlocks() - blocks, 17u);
    EXPECT_EQ(host.mem.LiveBytes() - bytes, 33664u);
    for (clouds.clouds.First(); const Cloud* cloud = clouds.clouds.Current(); clouds.clouds.Next()) {
        EXPECT_EQ(cloud->particleCount, 64);
        ASSERT_EQ(cloud->particles.count, 64);
        EXPECT_TRUE(AllZero(cloud->reserved, sizeof cloud->reserved));
        EXPECT_TRUE(AllZero(cloud->particles.data, 64 * sizeof(CloudParticle)));
    }
    EXPECT_EQ(host.log.Last("GFX.LoadMaterialRecord")->text, "");
}

TEST_F(CloudSetTest, EachAllocationReleasesTheLastOne) {
    Limits(0, 64);
    clouds.Allocate();
    EXPECT_EQ(clouds.clouds.count, 0);
    EXPECT_EQ(Blocks(), 0u);

    Limits(4, 8);
    clouds.Allocate();
    EXPECT_EQ(Blocks(), 5u);
    EXPECT_EQ(Bytes(), 4u * 56 + 4u * 8 * 32);
    clouds.Allocate();
    EXPECT_EQ(Blocks(), 5u);

    Limits(2, 3);
    clouds.Allocate();
    EXPECT_EQ(Blocks(), 3u);
    EXPECT_EQ(Bytes(), 2u * 56 + 2u * 3 * 32);

    clouds.Release();
    EXPECT_EQ(Blocks(), 0u);
    EXPECT_EQ(clouds.clouds.count, 0);
    EXPECT_EQ(host.mem.badFrees, 0);
}

TEST_F(CloudSetTest, NegativeOrUnaddressableLimitsAllocateNothing) {
    struct Case {
        int32_t clouds, particles;
    };
    // INT_MAX clouds of 56 bytes, or 1000 clouds of 0x7FFFFFF particles of
    // 32 bytes (4 GiB each), could never be addressed.
    const Case cases[] = {{-1, 64}, {16, -1}, {INT_MAX, 0}, {INT_MAX, 64}, {1000, 0x7FFFFFF}, {INT_MIN, INT_MIN}};
    Limits(2, 2);
    clouds.Allocate();
    for (const Case& c : cases) {
        const int allocations = host.mem.allocations;
        Limits(c.clouds, c.particles);
        clouds.Allocate();
        EXPECT_EQ(clouds.clouds.count, 0) << c.clouds << " x " << c.particles;
        EXPECT_EQ(host.mem.allocations, allocations) << c.clouds << " x " << c.particles;
    }
    EXPECT_TRUE(host.Logged("Unable to allocate block memory of size -1!"));
    EXPECT_EQ(Blocks(), 0u);
}

TEST_F(CloudSetTest, FailedBlocksLeaveNoCloudsOrACloudWithoutParticles) {
    Limits(4, 8);
    host.mem.FailAt(1);
    clouds.Allocate();
    EXPECT_EQ(clouds.clouds.count, 0);
    EXPECT_TRUE(host.Logged("Unable to allocate block memory of size 4!"));

    // The second allocation is the first cloud's particle block.
    host.mem.FailAt(2);
    clouds.Allocate();
    ASSERT_EQ(clouds.clouds.count, 4);
    EXPECT_TRUE(host.Logged("Unable to allocate block memory of size 8!"));
    EXPECT_EQ(clouds.clouds.At(0)->particleCount, 0);
    EXPECT_EQ(clouds.clouds.At(0)->particles.count, 0);
    EXPECT_EQ(clouds.clouds.At(1)->particleCount, 8);
    EXPECT_EQ(Blocks(), 4u);
    clouds.Release();
    EXPECT_EQ(Blocks(), 0u);
    EXPECT_EQ(host.mem.badFrees, 0);
}

TEST_F(CloudSetTest, UnloadReleasesTheSystemsStorage) {
    CloudSet& systemClouds = g_environmentSystem.cloudSet;
    systemClouds.maxClouds = 3;
    systemClouds.maxCloudParticles = 5;
    systemClouds.Allocate();
    EXPECT_EQ(Blocks(), 4u);
    host.env()->Unload();
    EXPECT_EQ(systemClouds.clouds.count, 0);
    EXPECT_EQ(Blocks(), 0u);
}

TEST_F(CloudSetTest, LoadReadsTheSettingsAndSizesFromTheFile) {
    ENVSYS_REQUIRE_CONFIG(host);
    host.files.Add("clouds.ini", "[Clouds]\n"
                                 "MaxClouds=3\n"
                                 "MaxCloudParticles=10\n"
                                 "3DCloudMaterial=PuffMaterial\n"
                                 "3DCloudHorizontalSize=800\n"
                                 "3DCloudVerticalSize=300\n"
                                 "3DCloudSizeDeviation=0.25\n"
                                 "3DCloudParticleDensity=2\n"
                                 "ParticleColor=1,0.5,2\n"
                                 "ParticleSize=40\n"
                                 "ParticleSizeDeviation=5\n"
                                 "ShadowColor=0.5,0.5\n");
    clouds.shadowColor[0] = 0.25f;
    IniFile file("clouds.ini", 0, 0);
    const size_t blocks = host.mem.LiveBlocks();
    clouds.Load(file);
    EXPECT_EQ(host.log.Last("GFX.LoadMaterialRecord")->text, "PuffMaterial");
    EXPECT_EQ(clouds.horizontalSize, 800.0f);
    EXPECT_EQ(clouds.verticalSize, 300.0f);
    EXPECT_EQ(clouds.sizeDeviation, 0.25f);
    EXPECT_EQ(clouds.particleDensity, 2.0f);
    EXPECT_EQ(clouds.particleColor[0], 1.0f);
    EXPECT_EQ(clouds.particleColor[1], 0.5f);
    EXPECT_EQ(clouds.particleColor[2], 1.0f); // clamped
    EXPECT_EQ(clouds.particleSize, 40.0f);
    EXPECT_EQ(clouds.particleSizeDeviation, 5.0f);
    EXPECT_EQ(clouds.shadowColor[0], 0.25f); // two parts: unchanged
    ASSERT_EQ(clouds.clouds.count, 3);
    EXPECT_EQ(clouds.clouds.At(2)->particleCount, 10);
    EXPECT_EQ(host.mem.LiveBlocks() - blocks, 4u);

    // Loading again releases the particles of every cloud of the first load.
    clouds.Load(file);
    EXPECT_EQ(host.mem.LiveBlocks() - blocks, 4u);
}

} // namespace
} // namespace envsys
