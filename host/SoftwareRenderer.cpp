#include "host/SoftwareRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "host/FogRamp.h"
#include "host/GroundPlane.h"

namespace envhost {

using namespace envsys;

namespace {

constexpr float kNearPlane = 0.5f;

// A vertex in camera space with everything the rasteriser interpolates.
struct ClipVertex {
    float x, y, z;
    float r, g, b, a, u, v, fog;
};

ClipVertex Mix(const ClipVertex& p, const ClipVertex& q, float t) {
    auto m = [t](float a, float b) { return a + (b - a) * t; };
    return {m(p.x, q.x), m(p.y, q.y), m(p.z, q.z), m(p.r, q.r), m(p.g, q.g),
            m(p.b, q.b), m(p.a, q.a), m(p.u, q.u), m(p.v, q.v), m(p.fog, q.fog)};
}

// Keeps the part of a convex polygon in front of the near plane. A crossing
// point is always computed from the edge's end in front, so triangles
// sharing an edge get the very same point and stay joined on screen.
int ClipNear(const ClipVertex* in, int n, ClipVertex* out) {
    int count = 0;
    for (int i = 0; i < n; ++i) {
        const ClipVertex& p = in[i];
        const ClipVertex& q = in[(i + 1) % n];
        const bool pin = p.z >= kNearPlane, qin = q.z >= kNearPlane;
        if (pin) out[count++] = p;
        if (pin == qin) continue;
        const ClipVertex& front = pin ? p : q;
        const ClipVertex& back = pin ? q : p;
        out[count++] = Mix(front, back, (kNearPlane - front.z) / (back.z - front.z));
    }
    return count;
}

// Rendering work recorded before this many commands is drawn at once, so
// that a flood of primitives cannot pile up without bound.
constexpr size_t kMaxRecorded = size_t{1} << 16;

} // namespace

SoftwareRenderer::SoftwareRenderer(Camera& camera, DiskFiles& files)
    : camera_(camera), files_(files), view_(*this),
      threads_(std::make_unique<RenderThreads>(RenderThreads::DefaultCount())) {
    frame_.Resize(camera.width, camera.height);
}

SoftwareRenderer::~SoftwareRenderer() = default;

HostMesh* SoftwareRenderer::CreateMesh(int32_t vertexCount, int32_t indexCount, int32_t) {
    // A 16-bit index reaches 65536 vertices; far larger requests are refused.
    if (vertexCount < 0 || indexCount < 0 || vertexCount > (1 << 20) || indexCount > (1 << 22)) return nullptr;
    meshes_.push_back(std::make_unique<RenderMesh>(*this, vertexCount, indexCount));
    return meshes_.back().get();
}

void SoftwareRenderer::ReleaseMesh(HostMesh** mesh) {
    if (mesh == nullptr || *mesh == nullptr) return;
    for (auto it = meshes_.begin(); it != meshes_.end(); ++it) {
        if (it->get() != *mesh) continue;
        pending_.erase(
            std::remove_if(pending_.begin(), pending_.end(), [&](const Pending& p) { return p.mesh == it->get(); }),
            pending_.end());
        meshes_.erase(it);
        break;
    }
    *mesh = nullptr;
}

HostLight* SoftwareRenderer::CreateLight(int32_t) {
    lights_.push_back(std::make_unique<RenderLight>(*this));
    return lights_.back().get();
}

void SoftwareRenderer::ReleaseLight(HostLight** light) {
    if (light == nullptr || *light == nullptr) return;
    for (auto it = lights_.begin(); it != lights_.end(); ++it) {
        if (it->get() == *light) {
            lights_.erase(it);
            break;
        }
    }
    *light = nullptr;
}

HostView* SoftwareRenderer::GetView() {
    view_.ComputePanelFlags();
    return &view_;
}
void SoftwareRenderer::SetReflectionMaps(int32_t row, int32_t countPerRow, const int32_t* handles) {
    reflectionRow = row;
    reflectionHandles.clear();
    if (handles == nullptr || countPerRow <= 0) return;
    // A row longer than any sensible grid is read only in part.
    for (int32_t i = 0; i < std::min<int32_t>(countPerRow, 64); ++i)
        reflectionHandles.push_back(handles[i]);
}

void SoftwareRenderer::SetQuadMode(int32_t) {}

void SoftwareRenderer::EndQuads() { quadMaterial_ = nullptr; }

void SoftwareRenderer::SetQuadMaterial(MaterialRecord* record) { quadMaterial_ = record; }

void SoftwareRenderer::BeginQuads(int32_t) { quadMaterial_ = nullptr; }

void SoftwareRenderer::DrawQuads(int32_t quadCount, const Vertex* vertices) {
    if (!drawing || vertices == nullptr || quadCount <= 0) return;
    RasterState state = StateFor(quadMaterial_);
    // Screen quads lie over the scene: no depth, no culling, no fog.
    state.depthCheck = state.depthWrite = false;
    state.cullMode = kCullNone;
    int recorded = list_.AddState(state);
    for (int32_t q = 0; q < std::min<int32_t>(quadCount, 1 << 16); ++q) {
        const Vertex* v = vertices + 4 * q;
        RasterVertex rv[4];
        float lo[2] = {v[0].x, v[0].z}, hi[2] = {v[0].x, v[0].z};
        for (int i = 0; i < 4; ++i) {
            rv[i] = {v[i].x, v[i].z, 1.0f, v[i].r, v[i].g, v[i].b, v[i].a, v[i].u, v[i].v, 0.0f};
            lo[0] = std::min(lo[0], v[i].x), hi[0] = std::max(hi[0], v[i].x);
            lo[1] = std::min(lo[1], v[i].z), hi[1] = std::max(hi[1], v[i].z);
        }
        ++quadsDrawn;
        if (hi[0] - lo[0] < 2.5f && hi[1] - lo[1] < 2.5f) {
            // Shoelace area of the four corners.
            float area = 0;
            for (int i = 0; i < 4; ++i)
                area += v[i].x * v[(i + 1) % 4].z - v[(i + 1) % 4].x * v[i].z;
            const float rgba[4] = {v[0].r, v[0].g, v[0].b, v[0].a};
            list_.AddSplat(recorded, (lo[0] + hi[0]) * 0.5f, (lo[1] + hi[1]) * 0.5f, std::fabs(area) * 0.5f, rgba);
            continue;
        }
        list_.AddTriangle(frame_, recorded, rv[0], rv[1], rv[2]);
        list_.AddTriangle(frame_, recorded, rv[0], rv[2], rv[3]);
        recorded = FlushIfLong(state, recorded);
    }
}

void SoftwareRenderer::LoadingFinished(int32_t) {}

void SoftwareRenderer::LoadingFinishedLate(int32_t) {}

void SoftwareRenderer::SetAmbientColor(const float* rgb) {
    if (rgb != nullptr) std::memcpy(ambient, rgb, sizeof ambient);
}

void SoftwareRenderer::SetSkyColor(const float* rgb) {
    if (rgb != nullptr) std::memcpy(sky, rgb, sizeof sky);
}

void SoftwareRenderer::SetFogColor(const float* rgb) {
    if (rgb != nullptr) std::memcpy(fog, rgb, sizeof fog);
}

void SoftwareRenderer::SetFogRange(float start, float end) {
    fogStart = start;
    fogEnd = end;
}

void SoftwareRenderer::SetSunLightEnabled(int32_t on) { sunLightEnabled = on; }

void SoftwareRenderer::SetSunLightLevel(float level) { sunLightLevel = level; }

float SoftwareRenderer::FogAmount(float distance) const { return FogRamp(distance, fogStart, fogEnd); }

// Ambient light plus the sun light. A light whose switch is off stands for
// a sun hidden by cloud: it lights every surface evenly at half strength.
void SoftwareRenderer::LightAt(Vec3 n, float* rgb) const {
    for (int i = 0; i < 3; ++i)
        rgb[i] = ambient[i];
    if (!sunLightEnabled || !haveSunLight_) return;
    const LightRecord& l = sunLight_;
    float k = 0.5f;
    if (l.lightSwitch != 0) k = std::max(0.0f, -(n.x * l.direction[0] + n.y * l.direction[1] + n.z * l.direction[2]));
    for (int i = 0; i < 3; ++i)
        rgb[i] += std::max(0.0f, l.diffuse[i]) * k;
}
void SoftwareRenderer::Submit(RenderMesh& mesh, const float* offset3) {
    if (!drawing) return;
    const float zero[3] = {0, 0, 0};
    const float* o = offset3 != nullptr ? offset3 : zero;
    if (scenePhase_) {
        pending_.push_back(Pending{&mesh, mesh.record.material, {o[0], o[1], o[2]}});
        return;
    }
    DrawMesh(mesh, mesh.record.material, o);
}

void SoftwareRenderer::DrawMesh(RenderMesh& mesh, const MaterialRecord* material, const float* offset) {
    ++meshDraws;
    const RasterState rasterState = StateFor(material);
    int state = list_.AddState(rasterState);
    const bool lit = material != nullptr && (material->flags & kMaterialLightEnabled) != 0;
    const bool fogged = material != nullptr && (material->flags & kMaterialFogEnabled) != 0;
    const Vec3 right = camera_.Right(), up = camera_.Up(), forward = camera_.Forward();
    const size_t n = mesh.vertices.size();
    std::vector<ClipVertex> cv(n);
    for (size_t i = 0; i < n; ++i) {
        const Vertex& v = mesh.vertices[i];
        const Vec3 rel{v.x + offset[0], v.y + offset[1], v.z + offset[2]};
        ClipVertex& c = cv[i];
        c = {Dot(rel, right), Dot(rel, up), Dot(rel, forward), v.r, v.g, v.b, v.a, v.u, v.v, 0};
        if (lit) {
            // A flat surface lit on the side that faces the viewer.
            float light[3];
            LightAt({0, 0, rel.z < 0 ? 1.0f : -1.0f}, light);
            c.r *= light[0], c.g *= light[1], c.b *= light[2];
        }
        if (fogged) c.fog = FogAmount(std::sqrt(Dot(rel, rel)));
    }
    const size_t indexCount = mesh.indices.size() - mesh.indices.size() % 3;
    for (size_t i = 0; i < indexCount; i += 3) {
        const uint16_t a = mesh.indices[i], b = mesh.indices[i + 1], c = mesh.indices[i + 2];
        if (a >= n || b >= n || c >= n) continue;
        const ClipVertex tri[3] = {cv[a], cv[b], cv[c]};
        ClipVertex poly[4];
        const int count = ClipNear(tri, 3, poly);
        if (count < 3) continue;
        RasterVertex rv[4];
        for (int k = 0; k < count; ++k) {
            const ClipVertex& p = poly[k];
            float sx, sy;
            camera_.ToScreen({p.x, p.y, p.z}, &sx, &sy);
            rv[k] = {sx, sy, 1.0f / p.z, p.r, p.g, p.b, p.a, p.u, p.v, p.fog};
        }
        for (int k = 1; k + 1 < count; ++k)
            if (list_.AddTriangle(frame_, state, rv[0], rv[k], rv[k + 1])) ++trianglesDrawn;
        state = FlushIfLong(rasterState, state);
    }
}

void SoftwareRenderer::BeginFrame() {
    Flush();
    camera_.SetViewport(camera_.width, camera_.height);
    if (frame_.Width() != camera_.width || frame_.Height() != camera_.height)
        frame_.Resize(camera_.width, camera_.height);
    pending_.clear();
    scenePhase_ = true;
    if (!drawing) return;
    const float rgb[3] = {sky[0], sky[1], sky[2]};
    list_.AddRowPass([rgb](FrameBuffer& frame, int rowBegin, int rowEnd) {
        frame.ClearRows(rgb, rowBegin, rowEnd);
        return uint64_t{0};
    });
}

void SoftwareRenderer::DrawGround() {
    if (!drawing) return;
    GroundView g;
    g.eye = static_cast<float>(camera_.position[2]);
    if (!(g.eye > 0)) return;
    g.right = camera_.Right(), g.up = camera_.Up(), g.forward = camera_.Forward();
    g.focal = camera_.FocalLength();
    g.cx = 0.5f * camera_.width, g.cy = 0.5f * camera_.height;
    LightAt({0, 0, 1}, g.light);
    g.ox = static_cast<float>(camera_.position[0]), g.oy = static_cast<float>(camera_.position[1]);
    g.scale = groundScale;
    g.fogStart = fogStart, g.fogEnd = fogEnd;
    std::memcpy(g.fog, fog, sizeof fog);
    std::memcpy(g.sky, sky, sizeof sky);
    g.map = reflectionHandles.empty() ? nullptr : TextureOf(reflectionHandles[0]);
    list_.AddRowPass([g](FrameBuffer& frame, int rowBegin, int rowEnd) {
        DrawGroundRows(g, frame, rowBegin, rowEnd);
        return uint64_t{0};
    });
}

void SoftwareRenderer::DrawSceneMeshes() {
    std::vector<Pending> list;
    list.swap(pending_);
    scenePhase_ = false;
    for (const Pending& p : list)
        DrawMesh(*p.mesh, p.material, p.offset);
}

void SoftwareRenderer::DrawStreak(Vec3 from, Vec3 to, const float* rgba) {
    if (!drawing) return;
    Vec3 a = camera_.ToCamera(from), b = camera_.ToCamera(to);
    if (a.z < kNearPlane && b.z < kNearPlane) return;
    if (a.z < kNearPlane) a = a + (b - a) * ((kNearPlane - a.z) / (b.z - a.z));
    if (b.z < kNearPlane) b = b + (a - b) * ((kNearPlane - b.z) / (a.z - b.z));
    float ax, ay, bx, by;
    camera_.ToScreen(a, &ax, &ay);
    camera_.ToScreen(b, &bx, &by);
    list_.AddLine(ax, ay, a.z, bx, by, b.z, rgba);
    if (list_.Size() >= kMaxRecorded) Flush();
}

void SoftwareRenderer::SetThreads(int count) {
    if (count <= 0) count = RenderThreads::DefaultCount();
    if (count == threads_->Count()) return;
    Flush();
    threads_ = std::make_unique<RenderThreads>(count);
}

void SoftwareRenderer::Flush() const { list_.Execute(frame_, *threads_); }

int SoftwareRenderer::FlushIfLong(const RasterState& state, int index) {
    if (list_.Size() < kMaxRecorded) return index;
    Flush();
    return list_.AddState(state);
}

PngImage SoftwareRenderer::Image() const {
    Flush();
    PngImage image(frame_.Width(), frame_.Height());
    const int bands = (frame_.Height() + DrawList::kBandRows - 1) / DrawList::kBandRows;
    threads_->Run(bands, [&](int band) {
        frame_.ToImageRows(&image, band * DrawList::kBandRows, (band + 1) * DrawList::kBandRows);
    });
    return image;
}

} // namespace envhost
