#include "host/SoftwareRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "config/Material.h"
#include "host/HostFiles.h"

namespace envhost {

using namespace envsys;

namespace {

constexpr float kNearPlane = 0.5f;
constexpr float kDegrees = 0.017453292519943295f;

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

float FogRamp(float distance, float start, float end) {
    if (!(end > start)) return distance >= end ? 1.0f : 0.0f;
    const float t = (distance - start) / (end - start);
    return t < 0 ? 0 : (t > 1 ? 1 : t);
}

float WrapDegrees(float a) {
    a = std::fmod(a, 360.0f);
    if (a > 180) a -= 360;
    if (a <= -180) a += 360;
    return a;
}

uint32_t Hash(int32_t x, int32_t y) {
    uint32_t h = static_cast<uint32_t>(x) * 0x8da6b343u ^ static_cast<uint32_t>(y) * 0xd8163841u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    return h ^ (h >> 15);
}

// The host's ground: fields of a few crop colours, fading to their mean
// where a pixel covers many fields, and here and there a round pond. The
// result is the field colour and how much of the pixel is water.
float GroundAlbedo(float x, float y, float footprint, float* rgb) {
    static const float kFields[4][3] = {
        {0.16f, 0.25f, 0.10f}, {0.22f, 0.30f, 0.12f}, {0.32f, 0.29f, 0.16f}, {0.19f, 0.21f, 0.11f}};
    static const float kMean[3] = {0.22f, 0.26f, 0.12f};
    const float fieldSize = 350.0f;
    const float fx = x / fieldSize, fy = y / fieldSize;
    const int32_t cx = static_cast<int32_t>(std::floor(fx)), cy = static_cast<int32_t>(std::floor(fy));
    const uint32_t h = Hash(cx, cy);
    const float* c = kFields[h & 3];
    // Furrows: a stripe across each field in its own direction.
    const float stripe = (h & 4) ? fx - cx : fy - cy;
    const float shade = 0.92f + 0.08f * std::sin(stripe * 40.0f);
    const float blend = std::min(1.0f, footprint / 40.0f);
    for (int i = 0; i < 3; ++i)
        rgb[i] = c[i] * shade + (kMean[i] - c[i] * shade) * blend;
    // One field in thirteen holds a pond.
    if ((h >> 3) % 13 != 0) return 0.0f;
    const float dx = fx - cx - 0.5f, dy = fy - cy - 0.5f;
    const float edge = 0.3f - std::sqrt(dx * dx + dy * dy);
    return edge <= 0 ? 0.0f : std::min(1.0f, edge * 40.0f) * (1.0f - blend);
}

// What the ground needs of the camera, the light and the air, taken when
// it is recorded.
struct GroundView {
    float eye;
    Vec3 right, up, forward;
    float focal, cx, cy;
    float light[3];
    float ox, oy, scale;
    float fogStart, fogEnd;
    float fog[3];
    float sky[3];
    const Texture* map; // the reflection map, if any
};

// Still water mirrors the sky: the sharp reflection map of the row the
// plug-in selected for the light level, at the reflected ray's elevation
// (the map's horizon is at half height), or the sky colour without maps.
void Reflect(const GroundView& g, float sinElevation, float* rgb) {
    if (g.map == nullptr) {
        for (int i = 0; i < 3; ++i)
            rgb[i] = g.sky[i] * 0.8f;
        return;
    }
    float texel[4];
    g.map->Sample(0.5f, 0.5f * (1.0f - sinElevation), 0, texel);
    // Half the map, half the colour of the air at the horizon, so that
    // ponds take on the dusk as well as the light level.
    for (int i = 0; i < 3; ++i)
        rgb[i] = texel[i] * 0.5f + g.fog[i] * 0.4f;
}

// The ground plane under every pixel of the rows [rowBegin, rowEnd) whose
// ray meets it before what the depth buffer holds.
void DrawGroundRows(const GroundView& g, FrameBuffer& frame, int rowBegin, int rowEnd) {
    for (int y = std::max(0, rowBegin); y < std::min(frame.Height(), rowEnd); ++y) {
        const Vec3 row = g.forward + g.up * ((g.cy - (y + 0.5f)) / g.focal);
        for (int x = 0; x < frame.Width(); ++x) {
            const Vec3 ray = row + g.right * ((x + 0.5f - g.cx) / g.focal);
            if (ray.z >= -1e-5f) continue;
            const float t = g.eye / -ray.z; // the distance ahead, as the depth buffer holds it
            float& depth = frame.Depth(x, y);
            if (t > depth) continue;
            const float distance = t * std::sqrt(Dot(ray, ray));
            float albedo[3];
            const float water = GroundAlbedo((g.ox + ray.x * t) * g.scale, (g.oy + ray.y * t) * g.scale,
                                             distance / (g.focal * std::max(0.05f, -ray.z)) * g.scale, albedo);
            float mirror[3] = {0, 0, 0};
            if (water > 0) Reflect(g, -ray.z / std::sqrt(Dot(ray, ray)), mirror);
            const float k = FogRamp(distance, g.fogStart, g.fogEnd);
            float* c = frame.Color(x, y);
            for (int i = 0; i < 3; ++i) {
                float lit = std::min(1.0f, albedo[i] * g.light[i]);
                lit += (mirror[i] - lit) * water;
                c[i] = lit + (g.fog[i] - lit) * k;
            }
            depth = t;
        }
    }
}

} // namespace

// --- RenderMesh ----------------------------------------------------------------

RenderMesh::RenderMesh(SoftwareRenderer& owner, int32_t vertexCount, int32_t indexCount)
    : vertices(static_cast<size_t>(std::max(0, vertexCount))), indices(static_cast<size_t>(std::max(0, indexCount))),
      owner_(owner) {
    record.vertices = vertices.data();
    record.indices = indices.data();
}

MeshRecord* RenderMesh::GetMeshData(MeshRecord** out) {
    if (out != nullptr) *out = &record;
    return &record;
}

void RenderMesh::Commit() {
    float lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
    for (size_t i = 0; i < vertices.size(); ++i) {
        const float p[3] = {vertices[i].x, vertices[i].y, vertices[i].z};
        for (int k = 0; k < 3; ++k) {
            if (i == 0 || p[k] < lo[k]) lo[k] = p[k];
            if (i == 0 || p[k] > hi[k]) hi[k] = p[k];
        }
    }
    float sphere[4] = {(lo[0] + hi[0]) * 0.5f, (lo[1] + hi[1]) * 0.5f, (lo[2] + hi[2]) * 0.5f, 0};
    for (const Vertex& v : vertices) {
        const float dx = v.x - sphere[0], dy = v.y - sphere[1], dz = v.z - sphere[2];
        sphere[3] = std::max(sphere[3], std::sqrt(dx * dx + dy * dy + dz * dz));
    }
    std::memcpy(record.placement, sphere, sizeof sphere);
}

void RenderMesh::DrawRelative(const float* offset3) { owner_.Submit(*this, offset3); }

void RenderMesh::DrawAt(const float* origin3) { owner_.Submit(*this, origin3); }

// --- RenderLight ---------------------------------------------------------------

LightRecord* RenderLight::GetLightData(LightRecord** out) {
    if (out != nullptr) *out = &record;
    return &record;
}

void RenderLight::Commit() { owner_.CommitLight(*this); }

// --- RenderView ----------------------------------------------------------------

ViewInfo* RenderView::GetViewInfo(ViewInfo** out) {
    if (out != nullptr) *out = &info;
    return &info;
}

void RenderView::GetViewMatrix(float* m9) {
    if (m9 == nullptr) return;
    const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    std::memcpy(m9, identity, sizeof identity);
}

void RenderView::ScreenExtent(float size, float* halfX, float* halfY) {
    if (halfX != nullptr) *halfX = size;
    if (halfY != nullptr) *halfY = size;
}

float RenderView::ScreenScale(float size) { return size; }

float RenderView::ScreenAspect() { return 1.0f; }

const int32_t* RenderView::GetPanelFlags() { return panelFlags; }

void RenderView::ProjectDirection(float* out3, const float* d) {
    if (out3 == nullptr) return;
    out3[0] = out3[1] = out3[2] = -1e6f;
    if (d == nullptr) return;
    const Camera& camera = owner_.camera();
    const Vec3 c = camera.ToCamera({d[0], d[1], d[2]});
    out3[1] = c.z;
    if (c.z <= 1e-6f) return;
    camera.ToScreen(c, &out3[0], &out3[2]);
}

int32_t RenderView::IsSunVisible(const float* p, int32_t size) {
    if (p == nullptr || !(p[1] > 1e-6f)) return 0;
    const float s = static_cast<float>(size < 0 ? 0 : size);
    return (p[0] + s >= info.left && p[0] - s <= info.right && p[2] + s >= info.top && p[2] - s <= info.bottom) ? 1 : 0;
}

int32_t RenderView::IsPointVisible(const float* p) {
    if (p == nullptr || !(p[1] > 1e-6f)) return 0;
    return (p[0] >= info.left && p[0] < info.right && p[2] >= info.top && p[2] < info.bottom) ? 1 : 0;
}

int32_t RenderView::IsMeshVisible(const void* placement, const float* origin3) {
    if (placement == nullptr) return 1;
    float sphere[4];
    std::memcpy(sphere, placement, sizeof sphere);
    if (!(sphere[3] > 0)) return 1;
    const float o[3] = {origin3 != nullptr ? origin3[0] : 0, origin3 != nullptr ? origin3[1] : 0,
                        origin3 != nullptr ? origin3[2] : 0};
    const Camera& camera = owner_.camera();
    const Vec3 c = camera.ToCamera({sphere[0] + o[0], sphere[1] + o[1], sphere[2] + o[2]});
    const float r = sphere[3];
    if (c.z < -r) return 0;
    const float f = camera.FocalLength();
    const float tx = 0.5f * camera.width / f, ty = 0.5f * camera.height / f;
    const float nx = std::sqrt(1 + tx * tx), ny = std::sqrt(1 + ty * ty);
    if ((c.x - tx * c.z) / nx > r || (-c.x - tx * c.z) / nx > r) return 0;
    if ((c.y - ty * c.z) / ny > r || (-c.y - ty * c.z) / ny > r) return 0;
    return 1;
}

void RenderView::ComputePanelFlags() {
    const Camera& camera = owner_.camera();
    info.left = 0;
    info.top = 0;
    info.right = camera.width;
    info.bottom = camera.height;
    // With the zenith or the nadir in view every azimuth is on screen.
    for (float z : {1.0f, -1.0f}) {
        float p[3];
        const float d[3] = {0, 0, z};
        ProjectDirection(p, d);
        if (p[1] > 0 && p[0] >= 0 && p[0] <= camera.width && p[2] >= 0 && p[2] <= camera.height) {
            for (int32_t& flag : panelFlags)
                flag = 1;
            return;
        }
    }
    // Otherwise the screen's border bounds the azimuths in view.
    float lo = 180, hi = -180;
    const int steps = 16;
    for (int side = 0; side < 4; ++side) {
        for (int i = 0; i <= steps; ++i) {
            const float t = static_cast<float>(i) / steps;
            float sx = 0, sy = 0;
            switch (side) {
            case 0:
                sx = t * camera.width, sy = 0;
                break;
            case 1:
                sx = t * camera.width, sy = static_cast<float>(camera.height);
                break;
            case 2:
                sx = 0, sy = t * camera.height;
                break;
            default:
                sx = static_cast<float>(camera.width), sy = t * camera.height;
                break;
            }
            const Vec3 ray = camera.RayThrough(sx, sy);
            if (std::fabs(ray.x) + std::fabs(ray.y) < 1e-6f) continue;
            const float relative = WrapDegrees(std::atan2(ray.x, ray.y) / kDegrees - camera.headingDegrees);
            lo = std::min(lo, relative);
            hi = std::max(hi, relative);
        }
    }
    const float margin = 1.0f;
    lo -= margin;
    hi += margin;
    for (int p = 0; p < 8; ++p) {
        const float start = WrapDegrees(p * 45.0f - camera.headingDegrees);
        bool seen = false;
        for (float shift : {-360.0f, 0.0f, 360.0f}) {
            const float a = start + shift, b = a + 45.0f;
            if (b >= lo && a <= hi) seen = true;
        }
        panelFlags[p] = seen ? 1 : 0;
    }
}

// --- SoftwareRenderer ----------------------------------------------------------

SoftwareRenderer::SoftwareRenderer(Camera& camera, HostFiles& files)
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

int32_t SoftwareRenderer::LoadTexture(const char* fileName, int32_t, int32_t) {
    const std::string name = fileName != nullptr ? fileName : "";
    const std::string path = files_.Resolve(fileName);
    auto report = [&]() {
        if (std::find(missingTextures.begin(), missingTextures.end(), name) == missingTextures.end())
            missingTextures.push_back(name);
        return -1;
    };
    if (path.empty()) return report();
    auto known = texturesByPath_.find(path);
    if (known != texturesByPath_.end()) {
        ++textures_[known->second].refs;
        return known->second;
    }
    PngImage image;
    std::string error;
    if (!image.Read(path, &error)) return report();
    const int32_t handle = nextTexture_++;
    TextureSlot& slot = textures_[handle];
    slot.path = path;
    slot.texture.FromImage(image);
    slot.refs = 1;
    texturesByPath_[path] = handle;
    return handle;
}

void SoftwareRenderer::ReleaseTexture(int32_t handle) {
    auto it = textures_.find(handle);
    if (it == textures_.end()) return;
    if (--it->second.refs > 0) return;
    // Recorded drawing may still sample the texture.
    Flush();
    texturesByPath_.erase(it->second.path);
    textures_.erase(it);
}

int SoftwareRenderer::LiveTextures() const { return static_cast<int>(textures_.size()); }

const Texture* SoftwareRenderer::TextureOf(int32_t handle) const {
    auto it = textures_.find(handle);
    return it != textures_.end() ? &it->second.texture : nullptr;
}

void SoftwareRenderer::LoadStageTextures(MaterialRecord* record) {
    const int count = std::max<int>(0, std::min<int>(record->numTextureStages, kMaxTextureStages));
    for (int i = 0; i < count; ++i) {
        TextureStage& stage = record->stages[i];
        char name[kTextureNameSize + 1];
        std::memcpy(name, stage.textureName, kTextureNameSize);
        name[kTextureNameSize] = '\0';
        if (name[0] == '\0' || TextureAlive(stage.textureHandle)) continue;
        stage.textureHandle = LoadTexture(name, 1, 1);
    }
}

int32_t SoftwareRenderer::LoadMaterialRecord(MaterialRecord* record, IniFile* file, const char* section) {
    if (record == nullptr) return 0;
    if (file == nullptr || section == nullptr) {
        std::memset(record, 0, sizeof *record);
        record->graphicsHandle = -1;
        return 0;
    }
    // The plug-in's open document has the configuration library's layout,
    // so the library's own reader fills the record.
    const bool found = LoadMaterial(record, file, section);
    if (found) LoadStageTextures(record);
    return found ? 1 : 0;
}

int32_t SoftwareRenderer::PrepareMaterial(MaterialRecord* record) {
    if (record == nullptr) return 0;
    LoadStageTextures(record);
    return 1;
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

RasterState SoftwareRenderer::StateFor(const MaterialRecord* m) const {
    RasterState s;
    std::memcpy(s.fogColor, fog, sizeof fog);
    if (m == nullptr) {
        s.blendOp = kBlendSrcAlpha;
        return s;
    }
    // The first stage's texture, when it holds a live one, whatever the
    // stage count says: the plug-in sets band and layer textures there.
    const TextureStage& stage = m->stages[0];
    s.texture = TextureOf(stage.textureHandle);
    s.stageFlags = stage.flags;
    s.colorOp = stage.colorOp;
    s.alphaOp = stage.alphaOp;
    s.blendOp = m->blendOp;
    s.cullMode = m->cullMode;
    s.depthCheck = (m->flags & kMaterialDepthBufferCheck) != 0;
    s.depthWrite = (m->flags & kMaterialDepthBufferWrite) != 0;
    s.alphaTest = (m->flags & kMaterialAlphaTestEnabled) != 0;
    return s;
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
