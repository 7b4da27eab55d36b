// Watertight filling: meshes that tile a region, drawn with additive
// blending of 1/16 so that every pixel's value counts the triangles that
// wrote it. Inside the region each pixel is written exactly once, at any
// sub-pixel offset and rotation, for jittered grids, axis-aligned grids
// whose edges run through pixel centres, fans of thin triangles, and a
// tiled plane cut by the near plane. Also the render threads' job rounds.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <vector>

#include "host/Camera.h"
#include "host/Rasterizer.h"
#include "host/RenderThreads.h"
#include "host/SoftwareRenderer.h"
#include "testing/DiskFiles.h"

namespace envhost {
namespace {

constexpr float kStep = 1.0f / 16.0f; // one write; sums of it are exact
constexpr float kPi = 3.14159265358979f;

int Count(FrameBuffer& frame, int x, int y) { return static_cast<int>(std::lround(frame.Color(x, y)[0] / kStep)); }

struct Mesh {
    std::vector<float> x, y;  // screen positions
    std::vector<int> indices; // triangles
};

// A small deterministic generator for jitter, diagonals and windings.
struct Lcg {
    uint32_t state;
    float Next() { return ((state = state * 1664525u + 1013904223u) >> 8) * (1.0f / 16777216.0f); }
};

// A 40 x 28 rectangle in 8 x 6 cells around (32, 32), each cell cut along a
// random diagonal; interior vertices moved by up to jitter of a cell.
Mesh Grid(float degrees, float ox, float oy, float jitter, Lcg& random) {
    const int nx = 8, ny = 6;
    const float c = std::cos(degrees * kPi / 180), s = std::sin(degrees * kPi / 180);
    Mesh m;
    for (int j = 0; j <= ny; ++j)
        for (int i = 0; i <= nx; ++i) {
            float lx = -20.0f + 40.0f * i / nx, ly = -14.0f + 28.0f * j / ny;
            if (i > 0 && i < nx && j > 0 && j < ny) {
                lx += (random.Next() - 0.5f) * 2 * jitter * 40.0f / nx;
                ly += (random.Next() - 0.5f) * 2 * jitter * 28.0f / ny;
            }
            m.x.push_back(32 + ox + c * lx - s * ly);
            m.y.push_back(32 + oy + s * lx + c * ly);
        }
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i) {
            const int a = j * (nx + 1) + i, b = a + 1, d = a + nx + 1, e = d + 1;
            const bool other = random.Next() < 0.5f;
            for (int t : other ? std::vector<int>{a, b, e, a, e, d} : std::vector<int>{a, b, d, b, e, d})
                m.indices.push_back(t);
        }
    return m;
}

// 64 thin triangles around (32, 32) out to a radius of 20.
Mesh Fan(float degrees, float ox, float oy) {
    Mesh m{{32 + ox}, {32 + oy}, {}};
    for (int i = 0; i < 64; ++i) {
        const float a = (degrees + 360.0f * i / 64) * kPi / 180;
        m.x.push_back(32 + ox + 20 * std::cos(a));
        m.y.push_back(32 + oy + 20 * std::sin(a));
        m.indices.insert(m.indices.end(), {0, 1 + i, 1 + (i + 1) % 64});
    }
    return m;
}

// Draws the mesh, each triangle in a random winding, and returns the
// counts; inside(x, y) says which pixel centres the mesh must cover.
template <class Inside>
void ExpectCoveredOnce(const Mesh& m, Lcg& random, Inside inside) {
    FrameBuffer frame;
    frame.Resize(64, 64);
    const float black[3] = {0, 0, 0};
    frame.Clear(black);
    RasterState state;
    state.blendOp = envsys::kBlendAdd;
    for (size_t t = 0; t < m.indices.size(); t += 3) {
        RasterVertex v[3];
        for (int k = 0; k < 3; ++k) {
            const int i = m.indices[t + k];
            v[k] = {m.x[i], m.y[i], 1, kStep, 0, 0, 1, 0, 0, 0};
        }
        if (random.Next() < 0.5f) std::swap(v[1], v[2]);
        frame.FillTriangle(state, v[0], v[1], v[2]);
    }
    int wrong = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const int n = Count(frame, x, y);
            wrong += (n > 1 || (n != 1 && inside(x + 0.5f, y + 0.5f))) ? 1 : 0;
        }
    EXPECT_EQ(wrong, 0);
}

TEST(Watertight, GridsAndFansCoverEveryInsidePixelOnce) {
    const float kAngles[] = {0, 90, 30, 45, 17.3f, 180};
    const float kOffsets[][2] = {{0, 0}, {0.5f, 0.5f}, {1 / 256.0f, 0}, {0.25f, 0.75f}, {0.71f, 0.13f}, {0.5f, 0}};
    Lcg random{7};
    for (float degrees : kAngles)
        for (const auto& o : kOffsets) {
            SCOPED_TRACE(testing::Message() << degrees << " degrees, offset " << o[0] << ", " << o[1]);
            const float c = std::cos(degrees * kPi / 180), s = std::sin(degrees * kPi / 180);
            // More than a pixel inside the rectangle or the fan's polygon.
            auto inRectangle = [&](float px, float py) {
                const float dx = px - 32 - o[0], dy = py - 32 - o[1];
                return std::fabs(c * dx + s * dy) < 19 && std::fabs(-s * dx + c * dy) < 13;
            };
            auto inFan = [&](float px, float py) { return std::hypot(px - 32 - o[0], py - 32 - o[1]) < 18.9f; };
            for (float jitter : {0.0f, 0.3f})
                ExpectCoveredOnce(Grid(degrees, o[0], o[1], jitter, random), random, inRectangle);
            ExpectCoveredOnce(Fan(degrees, o[0], o[1]), random, inFan);
        }
}

// A plane 0.3 below the eye tiled like the cloud layer (four vertices of its
// own per tile, 16 units a side), seen level at 50 headings. With a focal
// length of 128 pixels the horizon is at row 96 and the near plane at 0.5
// cuts the tiles under the viewer 0.3 * 128 / 0.5 = 76.8 rows below it, so
// rows 96 to 172 are covered. The tiles near the viewer reach far off the
// frame, where float edge functions had missed pixels along shared edges.
TEST(Watertight, TiledPlaneCutByTheNearPlaneHasNoGapOrOverlap) {
    Camera camera;
    envsys::testing::DiskFiles files;
    camera.SetViewport(256, 192);
    SoftwareRenderer gfx(camera, files);
    const int n = 80; // tiles a side, from -640 to 640
    envsys::HostMesh* mesh = gfx.CreateMesh(4 * n * n, 6 * n * n, 4);
    envsys::MeshRecord* rec = mesh->GetMeshData(nullptr);
    for (int t = 0; t < n * n; ++t) {
        const int column = t % n - n / 2, row = t / n - n / 2;
        const float x0 = static_cast<float>(column), y0 = static_cast<float>(row);
        for (int k = 0; k < 4; ++k)
            rec->vertices[4 * t + k] = {16 * (x0 + (k & 1)), 16 * (y0 + (k >> 1)), 0, kStep, 0, 0, 1, 0, 0};
        const int tri[6] = {0, 1, 2, 1, 3, 2};
        for (int k = 0; k < 6; ++k)
            rec->indices[6 * t + k] = static_cast<uint16_t>(4 * t + tri[k]);
    }
    envsys::MaterialRecord m;
    std::memset(&m, 0, sizeof m);
    m.blendOp = envsys::kBlendAdd;
    m.stages[0].textureHandle = -1;
    rec->material = &m;
    mesh->Commit();
    for (float heading = 0; heading < 360; heading += 7.3f) {
        SCOPED_TRACE(heading);
        camera.headingDegrees = heading;
        const float sky[3] = {0, 0, 0};
        gfx.SetSkyColor(sky);
        gfx.BeginFrame();
        gfx.EndScenePhase();
        const float offset[3] = {5.9f, 9.8f, -0.3f};
        mesh->DrawRelative(offset);
        FrameBuffer& frame = gfx.Frame();
        int wrong = 0;
        for (int y = 0; y < 192; ++y)
            for (int x = 0; x < 256; ++x)
                wrong += Count(frame, x, y) != (y >= 96 && y <= 172 ? 1 : 0) ? 1 : 0;
        EXPECT_EQ(wrong, 0);
    }
}

TEST(RenderThreadsTest, EveryJobRunsOnceInEveryRound) {
    for (int threads : {1, 3}) {
        RenderThreads pool(threads);
        EXPECT_EQ(pool.Count(), threads);
        for (int jobs : {0, 1, 2, 67}) {
            for (int round = 0; round < 20; ++round) {
                std::vector<std::atomic<int>> runs(static_cast<size_t>(jobs));
                pool.Run(jobs, [&](int job) { ++runs[static_cast<size_t>(job)]; });
                int once = 0;
                for (const auto& r : runs)
                    once += r.load() == 1 ? 1 : 0;
                EXPECT_EQ(once, jobs);
            }
        }
    }
    EXPECT_GE(RenderThreads::DefaultCount(), 1);
}

} // namespace
} // namespace envhost
