// The host's own services against what the plug-in relies on: seeded
// random numbers, the shell, the camera and the view.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "host/Camera.h"
#include "host/HostParticles.h"
#include "host/HostRandom.h"
#include "host/HostShell.h"
#include "host/SoftwareRenderer.h"
#include "testing/AccountingMemory.h"
#include "testing/DiskFiles.h"
#include "tests/host/HostTestSupport.h"

namespace envhost {
namespace {

TEST(HostRandom, SeededDrawsRepeatAndStayBelowTheBound) {
    HostRandom a(7), b(7), c(8);
    bool differs = false;
    for (int i = 0; i < 1000; ++i) {
        const float x = a.Random(100.0f);
        EXPECT_EQ(x, b.Random(100.0f));
        EXPECT_GE(x, 0.0f);
        EXPECT_LT(x, 100.0f);
        differs |= x != c.Random(100.0f);
    }
    EXPECT_TRUE(differs);
    // The wind truncates draws of 100 to a percentage: 0..99 only.
    HostRandom d(1);
    for (int i = 0; i < 10000; ++i)
        EXPECT_LT(static_cast<int>(d.Random(100.0f)), 100);
    EXPECT_EQ(d.Random(0.0f), 0.0f);
    EXPECT_EQ(d.Random(-3.0f), 0.0f);
    EXPECT_EQ(d.Random(NAN), 0.0f);
}

TEST(HostParticles, EmitsForTheFrameAroundTheEmitterAndDriftsWithTheWind) {
    HostParticles pts(3);
    EXPECT_EQ(pts.CreateParticleSystem(""), -1);
    EXPECT_EQ(pts.CreateParticleSystem(nullptr), -1);
    const int32_t rain = pts.CreateParticleSystem("Rain");
    ASSERT_EQ(rain, 0);
    envsys::EmitterRecord record{{100, 200, 50}, {}, {}, 1.0f, {}};
    pts.wind[0] = 5;
    int32_t emitter = -1;
    // 2500 drops a second over a 0.1 s frame: 250 drops.
    pts.BeginFrame(0.1f);
    pts.EmitParticles(&emitter, rain, &record, 0);
    EXPECT_EQ(emitter, 0);
    ASSERT_EQ(pts.Drops().size(), 250u);
    for (const HostParticles::Drop& d : pts.Drops()) {
        EXPECT_LE(std::fabs(d.position[0] - 100), pts.spread);
        EXPECT_LE(std::fabs(d.position[2] - 50), pts.spread);
        EXPECT_NEAR(d.velocity[0], 5.0f, 0.4f);
        EXPECT_LT(d.velocity[2], -pts.fallSpeed * 0.8f);
    }
    // The handle is filled once; a system that does not exist emits nothing.
    pts.EmitParticles(&emitter, rain, &record, 0);
    EXPECT_EQ(emitter, 0);
    EXPECT_EQ(pts.Drops().size(), 500u);
    pts.EmitParticles(&emitter, 7, &record, 0);
    pts.EmitParticles(&emitter, rain, nullptr, 0);
    EXPECT_EQ(pts.Drops().size(), 500u);
    // Drops fall, and are gone after their lifetime.
    const double z = pts.Drops()[0].position[2];
    pts.Update(1.0f);
    EXPECT_LT(pts.Drops()[0].position[2], z - 7.0);
    pts.Update(pts.lifetime);
    EXPECT_TRUE(pts.Drops().empty());
}

TEST(HostShell, HandsOutOfferedServicesAndNullForOthers) {
    HostShell shell;
    envsys::testing::AccountingMemory mem;
    shell.Offer("MEM", static_cast<envsys::MemoryService*>(&mem));
    void* service = reinterpret_cast<void*>(1);
    EXPECT_EQ(shell.Acquire("MEM", &service), 1);
    EXPECT_EQ(service, static_cast<envsys::MemoryService*>(&mem));
    EXPECT_EQ(shell.Acquire("XYZ", &service), 0);
    EXPECT_EQ(service, nullptr);
    service = &mem;
    shell.Release("MEM", &service);
    EXPECT_EQ(service, nullptr);
    EXPECT_EQ(shell.acquired, (std::vector<std::string>{"MEM", "XYZ"}));
    EXPECT_EQ(shell.Registered("ENV"), nullptr);
}

TEST(Camera, OrientationRowsAreRightUpForward) {
    Camera camera;
    camera.headingDegrees = 90; // east
    camera.pitchDegrees = 30;
    float m[9];
    camera.GetViewOrientation(m);
    // Right of east is south; up leans back toward west, (-sin 30, 0, cos 30);
    // forward is east and 30 degrees up, (cos 30, 0, sin 30).
    const float rows[9] = {0, -1, 0, -0.5f, 0, 0.8660254f, 0.8660254f, 0, 0.5f};
    for (int i = 0; i < 9; ++i)
        EXPECT_NEAR(m[i], rows[i], 1e-5f) << i;
    camera.LookAlong({0, -1, 1});
    EXPECT_NEAR(camera.headingDegrees, 180.0f, 1e-4f);
    EXPECT_NEAR(camera.pitchDegrees, 45.0f, 1e-4f);
}

// The view of a 640 x 360 viewport: directions projected onto pixels, the
// bounding spheres of meshes, and the sky panels in view by heading.
TEST(ViewTest, ProjectsDirectionsTestsMeshSpheresAndFlagsPanelsInView) {
    Camera camera;
    camera.SetViewport(640, 360);
    envsys::testing::DiskFiles files;
    SoftwareRenderer gfx(camera, files);
    envsys::HostView* view = gfx.GetView();
    envsys::ViewInfo* info = nullptr;
    view->GetViewInfo(&info);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->right, 640);
    EXPECT_EQ(info->bottom, 360);
    float out[3];
    const float north[3] = {0, 1, 0};
    view->ProjectDirection(out, north);
    EXPECT_NEAR(out[0], 320.0f, 1e-3f);
    EXPECT_NEAR(out[2], 180.0f, 1e-3f);
    EXPECT_EQ(view->IsPointVisible(out), 1);
    // 45 degrees right is the screen edge with a 90-degree field of view;
    // 10 degrees up is 320 tan 10 = 56.4 pixels above the centre.
    const float right[3] = {1, 1, 0};
    view->ProjectDirection(out, right);
    EXPECT_NEAR(out[0], 640.0f, 1e-2f);
    const float up[3] = {0, std::cos(0.17453292f), std::sin(0.17453292f)};
    view->ProjectDirection(out, up);
    EXPECT_NEAR(out[2], 180.0f - 56.4242f, 1e-2f);
    // Behind the viewer nothing is visible, however large.
    const float south[3] = {0, -1, 0};
    view->ProjectDirection(out, south);
    EXPECT_LE(out[1], 0.0f);
    EXPECT_EQ(view->IsPointVisible(out), 0);
    EXPECT_EQ(view->IsSunVisible(out, 1000), 0);
    // A sun just off screen still shows when its disc reaches in.
    const float edge[3] = {650.0f, 1.0f, 100.0f};
    EXPECT_EQ(view->IsSunVisible(edge, 5), 0);
    EXPECT_EQ(view->IsSunVisible(edge, 12), 1);
    float hx = 0, hy = 0;
    view->ScreenExtent(8, &hx, &hy);
    EXPECT_EQ(hx, 8);
    EXPECT_EQ(hy, 8);
    EXPECT_EQ(view->ScreenAspect(), 1.0f);
    // Mesh visibility tests the bounding sphere.
    envsys::HostMesh* mesh = gfx.CreateMesh(3, 3, 4);
    envsys::MeshRecord* record = mesh->GetMeshData(nullptr);
    const envsys::Vertex v[3] = {
        {-1, 0, 0, 1, 1, 1, 1, 0, 0}, {1, 0, 0, 1, 1, 1, 1, 0, 0}, {0, 0, 1, 1, 1, 1, 1, 0, 0}};
    std::memcpy(record->vertices, v, sizeof v);
    mesh->Commit();
    const float ahead[3] = {0, 50, 0}, behind[3] = {0, -50, 0}, aside[3] = {500, 50, 0}, near[3] = {0, 0.5f, 0};
    EXPECT_EQ(view->IsMeshVisible(record->placement, ahead), 1);
    EXPECT_EQ(view->IsMeshVisible(record->placement, behind), 0);
    EXPECT_EQ(view->IsMeshVisible(record->placement, aside), 0);
    // A sphere around the viewer is always in view.
    EXPECT_EQ(view->IsMeshVisible(record->placement, near), 1);
    gfx.ReleaseMesh(&mesh);
    EXPECT_EQ(mesh, nullptr);
    EXPECT_EQ(gfx.LiveMeshes(), 0);
    // The panel flags follow the heading.
    camera.horizontalFov = 60;
    camera.headingDegrees = 0;
    const int32_t* flags = gfx.GetView()->GetPanelFlags();
    // North +-30 degrees: the panels either side of azimuth 0 only.
    EXPECT_EQ(std::vector<int32_t>(flags, flags + 8), (std::vector<int32_t>{1, 0, 0, 0, 0, 0, 0, 1}));
    camera.horizontalFov = 30;
    camera.headingDegrees = 112.5f; // the middle of panel 2, +-15 degrees
    flags = gfx.GetView()->GetPanelFlags();
    EXPECT_EQ(std::vector<int32_t>(flags, flags + 8), (std::vector<int32_t>{0, 0, 1, 0, 0, 0, 0, 0}));
    // Looking at the zenith every panel is in view.
    camera.pitchDegrees = 85;
    flags = gfx.GetView()->GetPanelFlags();
    EXPECT_EQ(std::vector<int32_t>(flags, flags + 8), (std::vector<int32_t>(8, 1)));
}

} // namespace
} // namespace envhost
