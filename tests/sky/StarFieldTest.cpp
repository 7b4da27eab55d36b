// The star field: reading the binary star data file (including files that
// lie about their size), the refresh of a star, the sliced update and the
// twinkling quads.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "config/IniFile.h"
#include "plugin/EnvironmentSystem.h"
#include "plugin/FrameContext.h"
#include "plugin/PluginState.h"
#include "sky/StarField.h"
#include "tests/sky/SkyTestSupport.h"

namespace envsys {
namespace {

using testing::Set3;
using testing::StarFile;
using testing::TestHost;

class StarFieldTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.Init();
        baseBlocks = host.mem.LiveBlocks(); // the version text
        for (int c = 0; c < StarField::kClassCount; ++c)
            for (int i = 0; i < 4; ++i)
                stars.classColors[c][i] = 0.1f * static_cast<float>(c + 1);
    }
    void TearDown() override {
        stars.Release();
        EXPECT_EQ(host.mem.LiveBlocks(), baseBlocks);
        EXPECT_EQ(host.files.OpenHandles(), 0);
    }
    int32_t Load(const std::string& bytes) {
        host.files.Add("stars.dat", bytes);
        stars.LoadStarData("stars.dat");
        return stars.stars.count;
    }

    TestHost host;
    size_t baseBlocks = 0;
    StarField stars;
};

TEST_F(StarFieldTest, RecordsDecodeLittleEndianWithClassColours) {
    host.files.maxReadBytes = 5; // the service hands out a few bytes per read
    ASSERT_EQ(Load(StarFile(3, "GXM")), 3);
    const StarRecord* s = stars.stars.Records();
    EXPECT_FLOAT_EQ(s[1].rightAscension, 10.5f);
    EXPECT_FLOAT_EQ(s[1].declination, -19.0f);
    EXPECT_FLOAT_EQ(s[2].magnitude, 1.5f);
    EXPECT_FLOAT_EQ(s[0].color[0], 0.5f); // G is the fifth class
    EXPECT_FLOAT_EQ(s[1].color[0], 0.1f); // X is not a class: the O colour
    EXPECT_FLOAT_EQ(s[2].color[3], 0.7f);
    // 3 stars over the default 60 seconds.
    EXPECT_FLOAT_EQ(stars.starsPerSecond, 0.05f);
}

TEST_F(StarFieldTest, CountsThatLieAndFilesThatEndEarlyKeepOnlyWhatWasRead) {
    EXPECT_EQ(Load(StarFile(5, "OBA")), 3);
    EXPECT_TRUE(host.Logged("holds 3 of its 5 stars"));
    // A count near 2^31 never asks MEM for its size: the block fits the 2 records read.
    EXPECT_EQ(Load(StarFile(0x7FFFFFFF, "OB")), 2);
    EXPECT_EQ(host.log.Last("MEM.Allocate")->numbers[0], 2.0 * sizeof(StarRecord));
    // Half a record at the end is not a star.
    EXPECT_EQ(Load(StarFile(3, "OBA").substr(0, 4 + 16 * 2 + 9)), 2);
    EXPECT_EQ(Load(StarFile(0, "")), 0);
    EXPECT_FALSE(host.Logged("negative")); // no stars is no error
    EXPECT_EQ(Load(StarFile(-7, "OBA")), 0);
    EXPECT_TRUE(host.Logged("negative star count -7"));
    EXPECT_EQ(Load(StarFile(1, "O")), 1);
    EXPECT_EQ(Load(StarFile(3, "OBA")), 3);
    // A header that cannot be read, a file that will not open or does not
    // exist: the previous stars stay.
    EXPECT_EQ(Load(std::string("\x02\x00", 2)), 3);
    for (bool* fault : {&host.files.readsReturnZero, &host.files.failAllOpens}) {
        *fault = true;
        EXPECT_EQ(Load(StarFile(1, "O")), 3);
        *fault = false;
    }
    stars.LoadStarData("missing.dat");
    EXPECT_TRUE(host.Logged("Unable to find star data file .\\missing.dat!"));
    EXPECT_EQ(host.log.Last("FMG.Exists")->numbers[0], 0.0); // asked with no flags
    stars.LoadStarData(nullptr);
    g_plugin.fmg = nullptr;
    stars.LoadStarData("stars.dat");
    g_plugin.fmg = &host.files;
    EXPECT_EQ(stars.stars.count, 3);
    // Short reads are continued for the bytes still missing: 48, then 28, then 8.
    host.files.maxReadBytes = 20;
    EXPECT_EQ(Load(StarFile(3, "OBA")), 3);
    const auto reads = host.log.Named("FMG.Read");
    for (size_t i = 1; i <= 3; ++i) // the last three asked for 48, 28 and 8 bytes
        EXPECT_EQ(reads[reads.size() - i].numbers[1], std::vector<double>({8, 28, 48})[i - 1]);
    // A service that reports 4 bytes more than each read delivered (more than
    // was asked for at the header and at the last read) keeps to the count.
    host.files.readsOverstateBy = 4;
    EXPECT_EQ(Load(StarFile(2, "OB")), 2);
    host.files.readsOverstateBy = 0;
    host.files.maxReadBytes = 0xFFFFFFFFu;
    // A refused block leaves no stars, with the block array's message.
    host.mem.FailAt(1);
    EXPECT_EQ(Load(StarFile(2, "OB")), 0);
    EXPECT_TRUE(host.Logged("Unable to allocate block memory of size 2!"));
    EXPECT_EQ(Load(StarFile(3, "OBA")), 3);
    EXPECT_FLOAT_EQ(stars.stars.Records()[2].rightAscension, 20.5f);
}

class StarRefreshTest : public StarFieldTest {
protected:
    void SetUp() override {
        StarFieldTest::SetUp();
        std::string classes(1000, 'O');
        ASSERT_EQ(Load(StarFile(1000, classes)), 1000);
        stars.sizeFactor = 1.0f;
        stars.minHeight = -2.0f; // below every direction: no shrinking here
        for (int i = 0; i < 1000; ++i) {
            stars.stars.Records()[i].magnitude = 1.0f;
            stars.stars.Records()[i].size = -99.0f;
        }
        g_environmentSystem.current.sunLightLevel = 0.0f;
        g_frame.sunGlowEnabled = 0;
    }
    int Refreshed() {
        int n = 0;
        for (int i = 0; i < 1000; ++i)
            n += stars.stars.Records()[i].size != -99.0f ? 1 : 0;
        return n;
    }
};

TEST_F(StarRefreshTest, SizeComesFromMagnitudeLightAndTheGlowNearTheSun) {
    StarRecord& s = stars.stars.Records()[0];
    // ((0.6 - 0) * 10 - 1) * 1 = 5.
    stars.RefreshStar(s);
    EXPECT_FLOAT_EQ(s.size, 5.0f);
    // At light level 0.6 or more the size is at most minus the magnitude.
    g_environmentSystem.current.sunLightLevel = 0.6f;
    stars.RefreshStar(s);
    EXPECT_NEAR(s.size, -1.0f, 1e-5f);
    // Glow: the star straight at the sun (g = 1) sees L + 2 L = 0.3 at L = 0.1: ((0.6 - 0.3) * 10 - 1) = 2.
    g_environmentSystem.current.sunLightLevel = 0.1f;
    g_frame.sunGlowEnabled = 1;
    Set3(g_frame.sunVector, 0.0f, 0.0f, 1.0f);
    Set3(s.direction, 0.0f, 0.0f, 1.0f);
    stars.RefreshStar(s);
    EXPECT_NEAR(s.size, 2.0f, 1e-5f);
}

TEST_F(StarRefreshTest, HeightBelowMinHeightScalesTheSizeDownToTheHorizon) {
    CelestialFrame& frame = g_environmentSystem.celestialFrame;
    for (int i = 0; i < 9; ++i)
        frame.starRotation[i] = (i % 4 == 0) ? 1.0f : 0.0f;
    stars.minHeight = 0.2f;
    stars.invMinHeight = 5.0f;
    StarRecord& s = stars.stars.Records()[0];
    // Identity rotation: z = -cos(dec) sin(ra); ra = -90 is the zenith (kept size 5).
    s.rightAscension = -90.0f;
    s.declination = 0.0f;
    stars.RefreshStar(s);
    EXPECT_FLOAT_EQ(s.size, 5.0f);
    // z = 0.1 is half of MinHeight: half the size.
    s.rightAscension = -5.7391704f; // asin(0.1) in degrees
    stars.RefreshStar(s);
    EXPECT_NEAR(s.size, 2.5f, 1e-4f);
}

TEST_F(StarRefreshTest, SlicedUpdateRefreshesItsShareAndWrapsTheCursor) {
    // 1000 stars over 60 s: 16.67 a second.
    EXPECT_NEAR(stars.starsPerSecond, 16.6667f, 1e-3f);
    stars.Update(1.0f / 60.0f); // 0.28 of a star: none
    EXPECT_EQ(Refreshed(), 0);
    stars.Update(0.5f); // trunc(8.33)
    EXPECT_EQ(Refreshed(), 8);
    EXPECT_EQ(stars.updateCursor, 8);
    // A long pause refreshes each star once, and the cursor comes round to where it was.
    stars.Update(3600.0f);
    EXPECT_EQ(Refreshed(), 1000);
    EXPECT_EQ(stars.updateCursor, 8);
    stars.Update(-1.0f);
    stars.Update(std::nanf(""));
    EXPECT_EQ(stars.updateCursor, 8);
    for (int i = 0; i < 1000; ++i)
        stars.stars.Records()[i].size = -99.0f;
    stars.UpdateAll();
    EXPECT_EQ(Refreshed(), 1000);
    // Without a light state a star is sized as at night, (0.6 x 10 - 1) x 1;
    // without a celestial frame it keeps its direction.
    StarRecord& star = stars.stars.Records()[0];
    g_frame.light = nullptr;
    g_frame.celestialFrame = nullptr;
    Set3(star.direction, 9.0f, 9.0f, 9.0f);
    stars.UpdateAll();
    EXPECT_FLOAT_EQ(star.size, 5.0f);
    EXPECT_EQ(star.direction[0], 9.0f);
    g_frame.light = &g_environmentSystem.current;
    g_frame.celestialFrame = &g_environmentSystem.celestialFrame;
}

TEST_F(StarFieldTest, DrawTwinklesEachStarAndSkipsSmallOrHiddenOnes) {
    ASSERT_EQ(Load(StarFile(3, "OBA")), 3);
    StarRecord* s = stars.stars.Records();
    s[0].size = 4.0f;
    Set3(s[0].direction, 0.0f, 1.0f, 0.0f); // screen centre
    s[1].size = 1.2f;                       // twinkles below MinSize
    Set3(s[1].direction, 0.0f, 1.0f, 0.0f);
    s[2].size = 4.0f;
    Set3(s[2].direction, 0.0f, -1.0f, 0.0f); // behind the viewer
    stars.minSize = 1.0f;
    stars.sizeDeviation = 0.5f;
    host.random.script = {0.25f, 0.25f, 0.0f};
    g_frame.currentView = &host.gfx.view;
    host.log.Clear();
    stars.Draw();
    EXPECT_EQ(host.log.Count("RND.Random"), 3);
    EXPECT_EQ(host.log.Named("RND.Random")[0].numbers[0], 0.5);
    ASSERT_EQ(host.gfx.quads.size(), 1u);
    // s = (1 - 0.25) * 4 = 3 around (320, 240).
    const auto& q = host.gfx.quads[0];
    EXPECT_EQ(q.material, &stars.starMaterial);
    EXPECT_EQ(std::vector<float>({q.vertices[0].x, q.vertices[1].z, q.vertices[2].x, q.vertices[3].z}),
              std::vector<float>({317.0f, 243.0f, 323.0f, 237.0f}));
    EXPECT_FLOAT_EQ(q.vertices[0].r, 0.1f);
    EXPECT_EQ(host.log.Sequence("GFX.").front(), "GFX.BeginQuads");
    EXPECT_EQ(host.log.Sequence("GFX.").back(), "GFX.EndQuads");

    // Without a random-number service no star twinkles: s = 4.
    g_plugin.rnd = nullptr;
    host.gfx.quads.clear();
    stars.Draw();
    g_plugin.rnd = &host.random;
    EXPECT_FLOAT_EQ(host.gfx.quads.at(0).vertices[0].x, 316.0f);

    // No view or no graphics, nothing at all.
    g_frame.currentView = nullptr;
    host.log.Clear();
    stars.Draw();
    g_frame.currentView = &host.gfx.view;
    g_plugin.gfx = nullptr;
    stars.Draw();
    g_plugin.gfx = &host.gfx;
    EXPECT_EQ(host.log.Count("GFX.BeginQuads"), 0);
}

TEST_F(StarFieldTest, LoadReadsTheSectionAndTheQuadBlock) {
    host.files.Add("sky.dat", StarFile(2, "KO"));
    host.files.Add("stars.ini", "[Stars]\nUpdateRate=0\nTextureCoordinate=0.5\nMinHeight=0.25\n"
                                "KClassColor=1,0.5,0.25,0.75\nStarDataFile=sky.dat\n");
    IniFile file("stars.ini", 0, 0);
    stars.Load(file);
    ASSERT_EQ(stars.stars.count, 2);
    EXPECT_FLOAT_EQ(stars.stars.Records()[0].color[3], 0.75f);
    EXPECT_FLOAT_EQ(stars.stars.Records()[1].color[0], 1.0f); // O has no key: white
    EXPECT_FLOAT_EQ(stars.updateRate, 60.0f);                 // 0 is refused
    EXPECT_FLOAT_EQ(stars.invMinHeight, 4.0f);
    const float uv[4][2] = {{0, 0}, {0, 0.5f}, {0.5f, 0.5f}, {0.5f, 0}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(stars.quadBlock[i].u, uv[i][0]);
        EXPECT_EQ(stars.quadBlock[i].v, uv[i][1]);
        EXPECT_EQ(stars.quadBlock[i].y, 1.0f);
    }
    host.files.Add("stars.ini", "[Stars]\nUpdateRate=0.5\n");
    IniFile slow("stars.ini", 0, 0);
    stars.Load(slow);
    EXPECT_FLOAT_EQ(stars.updateRate, 0.5f); // any rate above 0 is kept
}

} // namespace
} // namespace envsys
