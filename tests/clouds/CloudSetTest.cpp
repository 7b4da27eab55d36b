// 3D cloud storage: sizes by the file's limits, zero-filled records, release
// on reload, and limits or allocations that fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <iterator>

#include "clouds/CloudSet.h"
#include "config/IniFile.h"
#include "testing/TestHost.h"

namespace envsys {
namespace {

using testing::TestHost;

class CloudSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.Init();
        baseBlocks = host.mem.LiveBlocks(); // what the plug-in holds once initialised
        baseBytes = host.mem.LiveBytes();
    }
    void TearDown() override { clouds.Release(); }

    void Allocate(int32_t maxClouds, int32_t maxParticles) {
        clouds.maxClouds = maxClouds;
        clouds.maxCloudParticles = maxParticles;
        clouds.Allocate();
    }
    size_t Blocks() const { return host.mem.LiveBlocks() - baseBlocks; }
    size_t Bytes() const { return host.mem.LiveBytes() - baseBytes; }

    TestHost host;
    CloudSet clouds;
    size_t baseBlocks = 0;
    size_t baseBytes = 0;
};

TEST_F(CloudSetTest, AFileWithoutTheSectionGivesSixteenCloudsOfSixtyFourZeroParticles) {
    host.files.Add("clouds.ini", "[Other]\nKey=1\n");
    IniFile file("clouds.ini", 0, 0);
    const size_t blocks = Blocks();
    const size_t bytes = Bytes();
    clouds.Load(file);
    EXPECT_TRUE(host.Logged("...loading clouds..."));
    ASSERT_EQ(clouds.clouds.count, 16);
    // One cloud block and a particle block per cloud: 16 x 56 + 16 x 64 x 32 bytes.
    EXPECT_EQ(Blocks() - blocks, 17u);
    EXPECT_EQ(Bytes() - bytes, 896u + 32768u);
    for (clouds.clouds.First(); const Cloud* cloud = clouds.clouds.Current(); clouds.clouds.Next()) {
        EXPECT_EQ(cloud->particleCount, 64);
        ASSERT_EQ(cloud->particles.count, 64);
        const auto* p = static_cast<const uint8_t*>(cloud->particles.data);
        EXPECT_TRUE(std::all_of(p, p + 64 * sizeof(CloudParticle), [](uint8_t b) { return b == 0; }));
        EXPECT_TRUE(std::all_of(cloud->reserved, std::end(cloud->reserved), [](uint8_t b) { return b == 0; }));
    }
}

TEST_F(CloudSetTest, LoadReadsTheSettingsAndEachAllocationReleasesTheLastOne) {
    host.files.Add("clouds.ini", "[Clouds]\nMaxClouds=3\nMaxCloudParticles=10\n3DCloudMaterial=PuffMaterial\n"
                                 "3DCloudHorizontalSize=800\n3DCloudVerticalSize=300\n3DCloudSizeDeviation=0.25\n"
                                 "3DCloudParticleDensity=2\nParticleColor=1,0.5,2\nParticleSize=40\n"
                                 "ParticleSizeDeviation=5\nShadowColor=0.5,0.5\n");
    clouds.shadowColor[0] = 0.25f;
    IniFile file("clouds.ini", 0, 0);
    const size_t blocks = Blocks();
    clouds.Load(file);
    EXPECT_EQ(host.log.Last("GFX.LoadMaterialRecord")->text, "PuffMaterial");
    EXPECT_EQ(clouds.horizontalSize + clouds.verticalSize + clouds.sizeDeviation + clouds.particleDensity,
              800.0f + 300.0f + 0.25f + 2.0f);
    EXPECT_EQ(clouds.particleColor[2], 1.0f); // clamped
    EXPECT_EQ(clouds.particleSize + clouds.particleSizeDeviation, 45.0f);
    EXPECT_EQ(clouds.shadowColor[0], 0.25f); // two parts: unchanged
    EXPECT_EQ(clouds.clouds.At(2)->particleCount, 10);
    EXPECT_EQ(Blocks() - blocks, 4u);
    clouds.Load(file); // the particles of every earlier cloud go back
    EXPECT_EQ(Blocks() - blocks, 4u);

    Allocate(0, 64);
    EXPECT_EQ(Blocks() - blocks, 0u);
    Allocate(2, 3);
    EXPECT_EQ(Blocks() - blocks, 3u);
    clouds.Release();
    EXPECT_EQ(Blocks() - blocks, 0u);
    EXPECT_EQ(host.mem.badFrees, 0);
}

TEST_F(CloudSetTest, NegativeOrUnaddressableLimitsAllocateNothing) {
    // INT_MAX clouds of 56 bytes, or 1000 clouds of 0x7FFFFFF particles of 32
    // bytes (4 GiB each), could never be addressed.
    const int32_t cases[][2] = {{-1, 64}, {16, -1}, {INT_MAX, 0}, {1000, 0x7FFFFFF}, {INT_MIN, INT_MIN}};
    Allocate(2, 2);
    for (const auto& c : cases) {
        const int allocations = host.mem.allocations;
        Allocate(c[0], c[1]);
        EXPECT_EQ(clouds.clouds.count, 0) << c[0] << " x " << c[1];
        EXPECT_EQ(host.mem.allocations, allocations) << c[0] << " x " << c[1];
    }
    EXPECT_TRUE(host.Logged("Unable to allocate block memory of size -1!"));
    EXPECT_EQ(Blocks(), 0u);
}

TEST_F(CloudSetTest, FailedBlocksLeaveNoCloudsOrACloudWithoutParticles) {
    host.mem.FailAt(1);
    Allocate(4, 8);
    EXPECT_EQ(clouds.clouds.count, 0);
    EXPECT_TRUE(host.Logged("Unable to allocate block memory of size 4!"));

    host.mem.FailAt(2); // the first cloud's particle block
    Allocate(4, 8);
    ASSERT_EQ(clouds.clouds.count, 4);
    EXPECT_TRUE(host.Logged("Unable to allocate block memory of size 8!"));
    EXPECT_EQ(clouds.clouds.At(0)->particleCount, 0);
    EXPECT_EQ(clouds.clouds.At(1)->particleCount, 8);
    EXPECT_EQ(Blocks(), 4u);
    clouds.Release();
    EXPECT_EQ(Blocks(), 0u);
}

} // namespace
} // namespace envsys
