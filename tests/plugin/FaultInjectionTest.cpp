// Failing host services lose nothing: a whole life of the plug-in (InitDLL,
// a complete environment, every weather level, day to night, a reload,
// Unload, ExitDLL) with the Nth allocation failing for every N the life
// makes, with every allocation from the Nth on failing, and with the file
// service refusing to open or reading short. Each life must end with no
// block left to the owner tag beyond what a clean life leaves, no bad free,
// no heap-fallback block and no open file.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "plugin/EnvironmentSystem.h"
#include "plugin/Log.h"
#include "plugin/Memory.h"
#include "testing/TestHost.h"

namespace envsys {
namespace {

using testing::TestHost;

const char* const kEnvironment = R"(; A complete environment, small enough for a few hundred lives.
[EnvironmentSystem]
UpdateRate = 0.5
InclinationAngle = 23.5
Latitude = 45
[Day]
SunHeight = 0.3
SunBrightness = 1
SunLightLevel = 1
SunColor = 1, 1, 0.9
AmbientColor = 0.4, 0.4, 0.4
SkyColor = 0.3, 0.5, 0.9
HorizonColor = 0.7, 0.8, 0.9
FogColor = 0.7, 0.7, 0.8
[Twilight1]
SunHeight = 0.1
SunBrightness = 0.6
SunLightLevel = 0.7
SunColor = 1, 0.7, 0.4
AmbientColor = 0.3, 0.3, 0.3
SkyColor = 0.3, 0.4, 0.7
HorizonColor = 0.9, 0.6, 0.4
FogColor = 0.6, 0.5, 0.5
[Twilight2]
SunHeight = -0.05
SunBrightness = 0.2
SunLightLevel = 0.3
SunColor = 0.8, 0.4, 0.3
AmbientColor = 0.2, 0.2, 0.25
SkyColor = 0.1, 0.1, 0.3
HorizonColor = 0.5, 0.3, 0.3
FogColor = 0.3, 0.3, 0.35
[Night]
SunHeight = -0.2
SunColor = 0, 0, 0
AmbientColor = 0.05, 0.05, 0.1
SkyColor = 0, 0, 0.05
HorizonColor = 0.05, 0.05, 0.1
FogColor = 0.02, 0.02, 0.05
[Fog]
StartClear = 100
EndClear = 5000
StartOvercast = 50
EndOvercast = 2000
OvercastColor = 0.5, 0.5, 0.55
StartInclement = 20
EndInclement = 800
InclementColor = 0.3, 0.3, 0.35
StartCloud = 10
EndCloud = 100
CloudColor = 0.9, 0.9, 0.9
HazeFogColor = 0.8, 0.8, 0.75
[Weather]
OvercastLight = 0.5
InclementLight = 0.3
OvercastHorizonColor = 0.6, 0.6, 0.6
InclementHorizonColor = 0.4, 0.4, 0.4
InclementEffect = Rain
[Sun]
DaySunMaterial = SunMaterial
TwilightSunMaterial = SunMaterial
TwilightSunAnimation = 3
TwilightSunFormat = sun%02d.dds
SunAngle = 0.9
DaySunSize = 20
TwilightSunSize = 30
SunFlareMaterial = SunMaterial
SunFlareSize = 40
TwilightSunFlareMaterial = SunMaterial
TwilightSunFlareSize = 50
OvercastAmbientModifier = 0.5
OvercastDirectModifier = 0.5
[LensFlare001]
PositionFactor = 0.5
Size = 10
Fade = NORMAL
Color = 1, 1, 1, 0.5
Material = SunMaterial
[LensFlare002]
PositionFactor = 1.5
Size = 20
Fade = REVERSE
Material = SunMaterial
[Sky]
SkyDistance = 1000
SkyPanelHeight = 200
SkyPanelCount = 2
SkyMaterial = SkyMaterial
HorizonCloud = SkyMaterial
HorizonCloudTexture = band%d_%d.dds
[BaseWindSection]
BaseWindSpeed = 5
BaseWindDirection = 90
WindChange[01].ChangeTime = 0.5
WindChange[01].ChangeChance = 100
WindChange[01].SpeedRate = 1
WindChange[01].SpeedAmount = 2
WindChange[01].DirectionRate = 5
WindChange[01].DirectionAmount = 10
WindChange[02].ChangeTime = 1
WindChange[02].ChangeChance = 50
[Reflection]
NumSunLightLevel = 2
NumWeatherLevel = 1
NumReflectionLevel = 2
TextureNameFormat = refl%d_%d.dds
[Gravity]
Acceleration = 9.81
ForceVector = 0, 0, -1
[Stars]
StarMaterial = SkyMaterial
UpdateRate = 1
SizeFactor = 1
SizeDeviation = 0.2
MinSize = 0.1
MinHeight = 0.1
TextureCoordinate = 1
GClassColor = 1, 1, 0.8, 1
StarDataFile = stars.dat
[Clouds]
MaxClouds = 2
MaxCloudParticles = 3
3DCloudMaterial = SkyMaterial
ParticleColor = 1, 1, 1
[CloudLayer]
TopTexture = top%d.dds
BottomTexture = bottom%d.dds
Material = SkyMaterial
TileCount = 2
TileSize = 500
#include materials.ini
)";

const char* const kMaterials = R"([SkyMaterial]
LightEnabled = FALSE
FogEnabled = TRUE
BlendOp = MODULATE
NumTextureStages = 1
TextureStage[01].TextureName = sky.dds
[SunMaterial]
BlendOp = BLEND_SRC_ALPHA
CullMode = NO_CULL
NumTextureStages = 2
TextureStage[01].TextureName = sun.dds
TextureStage[02].TextureName = glow.dds
)";

// Six stars, one of each of six classes, spread over the sky.
std::string StarData() {
    const int32_t count = 6;
    std::string bytes(reinterpret_cast<const char*>(&count), 4);
    const char classes[] = "OBAFGK";
    for (int i = 0; i < count; ++i) {
        const float values[3] = {60.0f * static_cast<float>(i), 10.0f * static_cast<float>(i) - 20.0f, 1.0f};
        bytes.append(reinterpret_cast<const char*>(values), sizeof values);
        bytes += std::string{classes[i], 0, 0, 0};
    }
    return bytes;
}

void AddFiles(TestHost& host) {
    host.files.Add("env.ini", kEnvironment);
    host.files.Add("materials.ini", kMaterials);
    host.files.Add("stars.dat", StarData());
}

struct Life {
    int allocations = 0;
    size_t blocksAfterInit = 0;
    size_t blocksAfterUnload = 0;
    int badFrees = 0;
    size_t blocksAfterExit = 0;
    int heapBlocks = 0;
    int openFiles = 0;
    int32_t stars = 0;
};

void Frames(TestHost& host, int n, float dt) {
    for (int i = 0; i < n; ++i)
        host.Frame(dt);
}

// A whole life; the host's services are set up (and failures armed) by the
// caller.
Life LiveOnce(TestHost& host) {
    Life life;
    host.log.enabled = false;
    host.Init();
    life.blocksAfterInit = host.mem.LiveBlocks();
    EnvironmentSystemInterface* env = host.env();
    if (env != nullptr) {
        env->LoadEnvironment("env.ini");
        host.SetTime(12);
        Frames(host, 20, 0.1f);
        // Every weather level, with the viewer above, inside the transition
        // band and below the layer at 1000.
        const double altitudes[] = {2000.0, 1050.0, 500.0};
        for (int level = 0; level <= 4; ++level) {
            host.SetWeather(level, 1000.0f, 100.0f, 0.6f);
            for (double altitude : altitudes) {
                host.viewer.position[2] = altitude;
                Frames(host, 8, 0.1f);
            }
        }
        host.SetWeather(0);
        host.viewer.position[2] = 10.0;
        // Dusk and night: the stars are refreshed and drawn.
        host.SetTime(19, 30);
        Frames(host, 30, 0.25f);
        host.SetTime(0);
        Frames(host, 30, 0.25f);
        life.stars = g_environmentSystem.starField.stars.count;
        env->LoadEnvironment("env.ini");
        Frames(host, 30, 0.1f);
        env->Unload();
    }
    life.blocksAfterUnload = host.mem.LiveBlocks();
    host.Exit();
    life.allocations = host.mem.allocations;
    life.badFrees = host.mem.badFrees;
    life.blocksAfterExit = host.mem.LiveBlocks();
    life.heapBlocks = HeapFallbackBlockCount();
    life.openFiles = host.files.OpenHandles();
    return life;
}

Life CleanLife() {
    TestHost host;
    AddFiles(host);
    return LiveOnce(host);
}

// What may differ from a clean life and what may not.
std::string Problems(const Life& life, const Life& clean) {
    std::string out;
    const long grown = static_cast<long>(life.blocksAfterUnload) - static_cast<long>(life.blocksAfterInit);
    const long cleanGrown = static_cast<long>(clean.blocksAfterUnload) - static_cast<long>(clean.blocksAfterInit);
    if (grown > cleanGrown) out += " unload left " + std::to_string(grown - cleanGrown) + " more blocks;";
    if (life.badFrees != 0) out += " " + std::to_string(life.badFrees) + " bad frees;";
    if (life.blocksAfterExit != 0) out += " blocks left after ExitDLL;";
    if (life.heapBlocks != 0) out += " heap-fallback blocks left;";
    if (life.openFiles != 0) out += " files left open;";
    if (life.stars > 6) out += " " + std::to_string(life.stars) + " stars from a file of 6;";
    return out;
}

TEST(FaultInjection, CleanLifeGivesBackWhatItTook) {
    const Life clean = CleanLife();
    EXPECT_GT(clean.allocations, 10);
    // Unload gives back every block the loads took.
    EXPECT_EQ(clean.blocksAfterUnload, clean.blocksAfterInit);
    EXPECT_EQ(clean.badFrees, 0);
    EXPECT_EQ(clean.openFiles, 0);
    EXPECT_EQ(clean.heapBlocks, 0);
}

TEST(FaultInjection, EveryAllocationFailingInTurn) {
    const Life clean = CleanLife();
    std::vector<std::string> failures;
    for (int n = 1; n <= clean.allocations; ++n) {
        for (bool failAllAfter : {false, true}) {
            TestHost host;
            AddFiles(host);
            host.mem.FailAt(n, failAllAfter);
            const std::string problems = Problems(LiveOnce(host), clean);
            if (!problems.empty())
                failures.push_back("allocation " + std::to_string(n) + (failAllAfter ? " and after" : "") + ":" +
                                   problems);
        }
    }
    EXPECT_TRUE(failures.empty()) << failures.size() << " lives went wrong, the first: " << failures.front();
}

TEST(FaultInjection, MemoryServiceAbsent) {
    // Without MEM nothing is loaded but the configuration document, which
    // lives on the heap and goes back there.
    TestHost host;
    AddFiles(host);
    host.shell.withheld.insert("MEM");
    const Life life = LiveOnce(host);
    EXPECT_EQ(life.heapBlocks, 0);
    EXPECT_EQ(life.openFiles, 0);
    EXPECT_EQ(host.mem.allocations, 0);
}

TEST(FaultInjection, FilesThatCannotBeOpened) {
    const Life clean = CleanLife();
    for (const char* name : {"env.ini", "materials.ini", "stars.dat"}) {
        TestHost host;
        AddFiles(host);
        host.files.failOpen.insert(name);
        const Life life = LiveOnce(host);
        EXPECT_EQ(Problems(life, clean), "") << name;
        // A star file that cannot be opened leaves no stars.
        if (std::strcmp(name, "stars.dat") == 0) {
            EXPECT_EQ(life.stars, 0);
        }
    }
    TestHost host;
    AddFiles(host);
    host.files.failAllOpens = true;
    EXPECT_EQ(Problems(LiveOnce(host), clean), "");
}

TEST(FaultInjection, ReadsThatComeBackShortOrEmpty) {
    const Life clean = CleanLife();
    for (uint32_t most : {1u, 3u, 5u, 17u, 100u}) {
        TestHost host;
        AddFiles(host);
        host.files.maxReadBytes = most;
        EXPECT_EQ(Problems(LiveOnce(host), clean), "") << "reads of at most " << most << " bytes";
    }
    TestHost host;
    AddFiles(host);
    host.files.readsReturnZero = true;
    const Life life = LiveOnce(host);
    EXPECT_EQ(Problems(life, clean), "");
    EXPECT_EQ(life.stars, 0);
}

TEST(FaultInjection, FilesThatDoNotExist) {
    const Life clean = CleanLife();
    TestHost host;
    AddFiles(host);
    host.files.existsAlwaysFalse = true;
    EXPECT_EQ(Problems(LiveOnce(host), clean), "");
}

TEST(FaultInjection, TextBeyondTheBufferWithIncludesAfterIt) {
    // The Environment File alone fills the document's text buffer; the
    // include after it finds no room and must read nothing.
    const Life clean = CleanLife();
    TestHost host;
    AddFiles(host);
    std::string big = "#include materials.ini\n[Fog]\nStartClear = 1\n";
    while (big.size() < 0x40000 + 1000)
        big += "; padding padding padding padding padding padding padding\n";
    host.files.Add("env.ini", big);
    EXPECT_EQ(Problems(LiveOnce(host), clean), "");
}

TEST(FaultInjection, IncludeCycleFillsTheBufferAndStops) {
    const Life clean = CleanLife();
    TestHost host;
    AddFiles(host);
    host.files.Add("materials.ini", std::string(kMaterials) + "#include env.ini\n");
    EXPECT_EQ(Problems(LiveOnce(host), clean), "");
}

} // namespace
} // namespace envsys
