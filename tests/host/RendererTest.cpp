// The software renderer on small scenes whose pixels are known: a flat
// coloured mesh, a textured screen quad, blend operations, fog and depth
// on the ground and scene meshes after it, a batch longer than the
// renderer records before drawing, and materials read from a document's
// section.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "host/Camera.h"
#include "host/SoftwareRenderer.h"
#include "testing/DiskFiles.h"
#include "tests/host/HostTestSupport.h"

namespace envhost {
namespace {

using envsys::MaterialRecord;
using envsys::Vertex;

// A screen quad over [x0, x1] x [z0, z1] in one colour, corners (-,-) (-,+)
// (+,+) (+,-), with texture coordinates from (u0, v0) to (u1, v1).
std::array<Vertex, 4> ScreenQuad(float x0, float z0, float x1, float z1, std::array<float, 4> rgba, float u0 = 0,
                                 float v0 = 0, float u1 = 1, float v1 = 1) {
    auto corner = [&](float x, float z, float u, float v) {
        return Vertex{x, 1, z, rgba[0], rgba[1], rgba[2], rgba[3], u, v};
    };
    return {corner(x0, z0, u0, v0), corner(x0, z1, u0, v1), corner(x1, z1, u1, v1), corner(x1, z0, u1, v0)};
}

class RendererTest : public ::testing::Test {
protected:
    RendererTest() : gfx(camera, files) {
        camera.SetViewport(64, 48);
        camera.position[2] = 10;
        files.root = folder.path;
    }
    void Begin(float r, float g, float b) {
        const float sky[3] = {r, g, b};
        gfx.SetSkyColor(sky);
        gfx.BeginFrame();
        gfx.EndScenePhase();
    }
    // A square mesh facing the viewer, 10 units ahead, 2 units a side.
    envsys::HostMesh* Square(float r, float g, float b, float a) {
        envsys::HostMesh* mesh = gfx.CreateMesh(4, 6, 4);
        envsys::MeshRecord* rec = mesh->GetMeshData(nullptr);
        const Vertex v[4] = {{-1, 0, -1, r, g, b, a, 0, 1},
                             {1, 0, -1, r, g, b, a, 1, 1},
                             {1, 0, 1, r, g, b, a, 1, 0},
                             {-1, 0, 1, r, g, b, a, 0, 0}};
        std::memcpy(rec->vertices, v, sizeof v);
        const uint16_t idx[6] = {0, 1, 2, 0, 2, 3};
        std::memcpy(rec->indices, idx, sizeof idx);
        mesh->Commit();
        return mesh;
    }
    MaterialRecord Material(uint16_t blend, uint32_t flags = 0) {
        MaterialRecord m;
        std::memset(&m, 0, sizeof m);
        m.blendOp = blend;
        m.flags = flags;
        m.stages[0].textureHandle = -1;
        m.graphicsHandle = -1;
        return m;
    }
    ScratchFolder folder;
    Camera camera;
    envsys::testing::DiskFiles files;
    SoftwareRenderer gfx;
};

TEST_F(RendererTest, FlatColouredMeshCoversItsProjection) {
    Begin(0, 0, 1);
    envsys::HostMesh* mesh = Square(1, 0, 0, 1);
    MaterialRecord opaque = Material(envsys::kBlendOne);
    mesh->GetMeshData(nullptr)->material = &opaque;
    const float at[3] = {0, 10, 0};
    mesh->DrawAt(at);
    const PngImage image = gfx.Image();
    // f = 32 / tan 45 = 32: the square's half side of 1 at distance 10 is
    // 3.2 pixels around the centre (32, 24).
    const Rgb centre = PixelAt(image, 32, 24), inside = PixelAt(image, 34, 26), outside = PixelAt(image, 37, 24);
    EXPECT_EQ((std::vector<int>{centre.r, centre.b, inside.r, outside.r, outside.b}),
              (std::vector<int>{255, 0, 255, 0, 255}));
    // Behind the viewer the same mesh leaves no trace.
    Begin(0, 0, 1);
    const float behind[3] = {0, -10, 0};
    mesh->DrawAt(behind);
    EXPECT_EQ(PixelAt(gfx.Image(), 32, 24).r, 0);
}

TEST_F(RendererTest, TexturedQuadSamplesTheFirstStage) {
    // 2 x 1 texture: red on the left, green on the right.
    PngImage tex(2, 1);
    tex.Set(0, 0, 255, 0, 0);
    tex.Set(1, 0, 0, 255, 0);
    std::string error;
    ASSERT_TRUE(tex.Write(folder.path + "/Two.png", &error)) << error;
    const int32_t handle = gfx.LoadTexture(".\\TWO.PNG", 1, 1);
    ASSERT_GE(handle, 0);
    EXPECT_EQ(gfx.LoadTexture("two.png", 1, 1), handle); // the same file is shared
    MaterialRecord m = Material(envsys::kBlendOne);
    m.numTextureStages = 1;
    m.stages[0].textureHandle = handle;
    m.stages[0].colorOp = envsys::kStageTexture;
    Begin(0, 0, 0);
    // A screen quad over the whole 64 x 48 frame.
    gfx.BeginQuads(0);
    gfx.SetQuadMaterial(&m);
    gfx.DrawQuads(1, ScreenQuad(0, 0, 64, 48, {1, 1, 1, 1}).data());
    gfx.EndQuads();
    const PngImage image = gfx.Image();
    // Texel centres sit at u = 0.25 and 0.75 (pixels 16 and 48); bilinear
    // filtering blends them in between and clamps outside.
    const Rgb left = PixelAt(image, 4, 20), right = PixelAt(image, 60, 20), middle = PixelAt(image, 31, 20);
    EXPECT_EQ((std::vector<int>{left.r, left.g, right.r, right.g}), (std::vector<int>{255, 0, 0, 255}));
    // Pixel 31 is at u = 31.5 / 64: 0.484 of the way from texel 0 to 1.
    EXPECT_NEAR(middle.r, 255 * (1 - 0.484375), 2);
    EXPECT_NEAR(middle.g, 255 * 0.484375, 2);
    // Tiling wraps: u = 1.25 samples the left texel again.
    m.stages[0].flags = envsys::kStageTileU;
    Begin(0, 0, 0);
    gfx.SetQuadMaterial(&m);
    gfx.DrawQuads(1, ScreenQuad(0, 0, 64, 48, {1, 1, 1, 1}, 1.25f, 0.5f, 1.25f, 0.5f).data());
    EXPECT_EQ(PixelAt(gfx.Image(), 10, 10).r, 255);
    gfx.ReleaseTexture(handle);
    EXPECT_EQ(gfx.LiveTextures(), 1);
    gfx.ReleaseTexture(handle);
    EXPECT_EQ(gfx.LiveTextures(), 0);
    EXPECT_EQ(gfx.LoadTexture("missing.png", 1, 1), -1);
    EXPECT_EQ(gfx.missingTextures, (std::vector<std::string>{"missing.png"}));
}

TEST_F(RendererTest, BlendOperationsMixWithWhatIsThere) {
    const struct {
        uint16_t op;
        float alpha;
        int r, b; // expected over a blue (0, 0, 1) background with a red (1, 0, 0) source
    } kCases[] = {
        {envsys::kBlendSrcAlpha, 0.25f, 64, 191},           // 0.25 red + 0.75 blue
        {envsys::kBlendInvSrcAlpha, 0.25f, 191, 64},        // 0.75 red + 0.25 blue
        {envsys::kBlendSrcAlphaAddDst, 0.5f, 128, 255},     // 0.5 red added to blue
        {envsys::kBlendAdd, 0.1f, 255, 255},                // alpha plays no part
        {envsys::kBlendModulate, 1.0f, 0, 0},               // red times blue is black
        {envsys::kBlendInvSrcAlphaAddSrc, 0.25f, 255, 191}, // red plus 0.75 blue
    };
    for (const auto& c : kCases) {
        Begin(0, 0, 1);
        MaterialRecord m = Material(c.op);
        gfx.SetQuadMaterial(&m);
        gfx.DrawQuads(1, ScreenQuad(10, 10, 30, 30, {1, 0, 0, c.alpha}).data());
        const Rgb p = PixelAt(gfx.Image(), 20, 20);
        EXPECT_NEAR(p.r, c.r, 1) << "blend " << c.op;
        EXPECT_NEAR(p.b, c.b, 1) << "blend " << c.op;
        EXPECT_EQ(PixelAt(gfx.Image(), 5, 5).b, 255) << "blend " << c.op;
    }
}

TEST_F(RendererTest, GroundIsFoggedByDistanceAndHidesWhatIsBehindItDrawnBeforeSceneMeshes) {
    // Looking 30 degrees down from 10 units up, the centre ray meets the
    // ground 10 / sin 30 = 20 units away. Fog 0..40 in white makes it half
    // fog; with no light the ground's own colour is black.
    camera.pitchDegrees = -30;
    const float white[3] = {1, 1, 1};
    gfx.SetFogColor(white);
    gfx.SetFogRange(0, 40);
    Begin(0, 0, 1);
    gfx.DrawGround();
    PngImage image = gfx.Image();
    // The pixel centre lies half a pixel below the centre ray: 30.9
    // degrees down, 19.46 units away, fog 0.486, 124 of 255.
    const Rgb centre = PixelAt(image, 32, 24);
    EXPECT_NEAR(centre.r, 124, 2);
    EXPECT_NEAR(centre.g, 124, 2);
    // Higher rows reach farther, into thicker fog; row 0 is sky.
    EXPECT_GT(PixelAt(image, 32, 14).r, centre.r);
    EXPECT_EQ(PixelAt(image, 32, 0).b, 255);
    EXPECT_EQ(PixelAt(image, 32, 0).r, 0);
    // Light shows through the fog: a full ambient light on the ground.
    const float ambient[3] = {1, 1, 1};
    gfx.SetAmbientColor(ambient);
    gfx.SetFogRange(1000, 2000);
    Begin(0, 0, 1);
    gfx.DrawGround();
    EXPECT_GT(PixelAt(gfx.Image(), 32, 40).g, 50);
    // A scene mesh under the ground is hidden where the material tests depth.
    MaterialRecord tested = Material(envsys::kBlendOne, envsys::kMaterialDepthBufferCheck);
    envsys::HostMesh* mesh = Square(1, 0, 0, 1);
    mesh->GetMeshData(nullptr)->material = &tested;
    Begin(0, 0, 1);
    gfx.DrawGround();
    const Rgb ground = PixelAt(gfx.Image(), 32, 24);
    const float deep[3] = {0, 34.64f, -20}; // 40 along the centre ray, twice as far as the ground
    mesh->DrawRelative(deep);
    const Rgb after = PixelAt(gfx.Image(), 32, 24);
    EXPECT_EQ((std::vector<int>{after.r, after.g}), (std::vector<int>{ground.r, ground.g}));
    // Without the depth test the same mesh shows.
    tested.flags = 0;
    mesh->DrawRelative(deep);
    EXPECT_EQ(PixelAt(gfx.Image(), 32, 24).r, 255);
    // During the scene phase a mesh is kept and drawn after the ground.
    tested.flags = envsys::kMaterialDepthBufferCheck;
    gfx.BeginFrame();
    const float ahead[3] = {0, 8.66f, -5}; // on the centre ray, nearer than the ground
    mesh->DrawRelative(ahead);
    gfx.EndScenePhase();
    EXPECT_EQ(PixelAt(gfx.Image(), 32, 24).r, 0);
    gfx.DrawGround();
    gfx.DrawSceneMeshes();
    EXPECT_EQ(PixelAt(gfx.Image(), 32, 24).r, 255);
    // A released mesh is never drawn from the list.
    gfx.BeginFrame();
    mesh->DrawRelative(ahead);
    gfx.ReleaseMesh(&mesh);
    gfx.EndScenePhase();
    gfx.DrawSceneMeshes();
    EXPECT_EQ(PixelAt(gfx.Image(), 32, 24).r, 0);
}

TEST_F(RendererTest, ABatchLongerThanTheRecordingBoundIsDrawnWhole) {
    // 40,000 quads over a 16 x 16 frame are 80,000 triangles, more than the
    // 65,536 recorded before a draw; each adds 2^-16, so every pixel must
    // come to exactly 40,000 / 65,536 = 0.6103515625.
    camera.SetViewport(16, 16);
    Begin(0, 0, 0);
    const float step = 1.0f / 65536;
    const std::array<Vertex, 4> quad = ScreenQuad(0, 0, 16, 16, {step, 0, 0, 1});
    std::vector<Vertex> quads;
    for (int i = 0; i < 40000; ++i)
        quads.insert(quads.end(), quad.begin(), quad.end());
    MaterialRecord m = Material(envsys::kBlendAdd);
    gfx.SetQuadMaterial(&m);
    gfx.DrawQuads(40000, quads.data());
    FrameBuffer& frame = gfx.Frame();
    int wrong = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            wrong += frame.Color(x, y)[0] != 0.6103515625f ? 1 : 0;
    EXPECT_EQ(wrong, 0);
}

TEST_F(RendererTest, BadInputDrawsNothingAndKeepsRunning) {
    Begin(0, 0, 1);
    gfx.DrawQuads(1, nullptr);
    gfx.DrawQuads(-5, nullptr);
    envsys::HostMesh* mesh = gfx.CreateMesh(3, 3, 4);
    envsys::MeshRecord* rec = mesh->GetMeshData(nullptr);
    const uint16_t idx[3] = {0, 1, 900}; // an index past the vertices
    std::memcpy(rec->indices, idx, sizeof idx);
    const float at[3] = {0, 10, 0};
    mesh->DrawAt(at);
    mesh->DrawAt(nullptr);
    // Quads with coordinates that are not numbers, or far off any screen.
    const float nan = std::nanf("");
    const Vertex wild[8] = {{nan, 1, 0, 1, 0, 0, 1, 0, 0},     {0, 1, nan, 1, 0, 0, 1, 0, 0},
                            {nan, 1, nan, 1, 0, 0, 1, 0, 0},   {1, 1, 1, 1, 0, 0, 1, 0, 0},
                            {-3e9f, 1, 0, 1, 0, 0, 1, 0, 0},   {-3e9f, 1, 3e9f, 1, 0, 0, 1, 0, 0},
                            {3e9f, 1, 3e9f, 1, 0, 0, 1, 0, 0}, {3e9f, 1, 0, 1, 0, 0, 1, 0, 0}};
    gfx.DrawQuads(2, wild);
    gfx.DrawQuads(1, ScreenQuad(nan, nan, nan, nan, {1, 0, 0, 1}, 0, 0, 0, 0).data());
    const float inf = std::numeric_limits<float>::infinity();
    const float red[4] = {1, 0, 0, 1};
    gfx.DrawStreak({0, 5, 0}, {inf, 5, nan}, red);
    EXPECT_EQ(PixelAt(gfx.Image(), 32, 24).r, 0);
    EXPECT_EQ(gfx.CreateMesh(-1, 3, 4), nullptr);
    EXPECT_EQ(gfx.LoadMaterialRecord(nullptr, nullptr, "x"), 0);
    MaterialRecord m;
    std::memset(&m, 0x5A, sizeof m);
    EXPECT_EQ(gfx.LoadMaterialRecord(&m, nullptr, "x"), 0);
    EXPECT_EQ(m.flags, 0u);
    EXPECT_EQ(m.graphicsHandle, -1);
    // A stage name without a terminator is read within its 64 bytes.
    std::memset(m.stages[0].textureName, 'a', sizeof m.stages[0].textureName);
    m.numTextureStages = 1;
    m.stages[0].textureHandle = -1;
    EXPECT_EQ(gfx.PrepareMaterial(&m), 1);
    EXPECT_EQ(m.stages[0].textureHandle, -1);
    EXPECT_EQ(PixelAt(gfx.Image(), 32, 24).b, 255);
}

} // namespace
} // namespace envhost
