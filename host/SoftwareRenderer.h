// GFX: the host's graphics service, a software renderer. It draws what the
// plug-in hands over (meshes placed relative to the viewer, screen-space
// quads) with their materials, plus the host's own scene, a flat ground
// plane lit and fogged by what the plug-in sets, into a frame buffer that
// becomes a PNG picture.
//
// A frame: the host calls BeginFrame after the plug-in's Update, so the
// clear colour is this frame's sky colour. Meshes submitted while the
// frame is in its scene phase (PrepareFrame: the cloud layer) join the
// scene and are drawn with it after the ground; everything else is drawn
// at once, in the order it comes.
//
// Drawing is recorded and carried out when the picture is read (Image,
// Frame), when a texture in use may go away, or when much has piled up;
// the recorded list is drawn band by band on the render threads.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "envsys/HostServices.h"
#include "host/Camera.h"
#include "host/DrawList.h"
#include "host/Rasterizer.h"
#include "host/RenderLight.h"
#include "host/RenderMesh.h"
#include "host/RenderThreads.h"
#include "host/RenderView.h"

namespace envsys {
namespace testing {
class DiskFiles;
}
} // namespace envsys

namespace envhost {

using envsys::testing::DiskFiles;

class SoftwareRenderer : public envsys::GraphicsService {
public:
    SoftwareRenderer(Camera& camera, DiskFiles& files);
    ~SoftwareRenderer();
    SoftwareRenderer(const SoftwareRenderer&) = delete;
    SoftwareRenderer& operator=(const SoftwareRenderer&) = delete;

    envsys::HostMesh* CreateMesh(int32_t vertexCount, int32_t indexCount, int32_t format) override;
    void ReleaseMesh(envsys::HostMesh** mesh) override;
    envsys::HostLight* CreateLight(int32_t kind) override;
    void ReleaseLight(envsys::HostLight** light) override;
    envsys::HostView* GetView() override;
    int32_t LoadTexture(const char* fileName, int32_t a, int32_t b) override;
    void ReleaseTexture(int32_t handle) override;
    int32_t LoadMaterialRecord(envsys::MaterialRecord* record, envsys::IniFile* file, const char* section) override;
    int32_t PrepareMaterial(envsys::MaterialRecord* record) override;
    void SetReflectionMaps(int32_t row, int32_t countPerRow, const int32_t* handles) override;
    void SetQuadMode(int32_t mode) override;
    void EndQuads() override;
    void SetQuadMaterial(envsys::MaterialRecord* record) override;
    void BeginQuads(int32_t flags) override;
    void DrawQuads(int32_t quadCount, const envsys::Vertex* vertices) override;
    void LoadingFinished(int32_t flag) override;
    void SetAmbientColor(const float* rgb) override;
    void SetSkyColor(const float* rgb) override;
    void LoadingFinishedLate(int32_t flag) override;
    void SetFogColor(const float* rgb) override;
    void SetFogRange(float start, float end) override;
    void SetSunLightEnabled(int32_t on) override;
    void SetSunLightLevel(float level) override;

    // The host's side of a frame.
    void BeginFrame();
    void EndScenePhase() { scenePhase_ = false; }
    void DrawGround();
    void DrawSceneMeshes();
    // A streak between two points given relative to the viewer.
    void DrawStreak(Vec3 from, Vec3 to, const float* rgba);
    PngImage Image() const;
    FrameBuffer& Frame() {
        Flush();
        return frame_;
    }
    // Threads that draw the frame, the caller included; 0 or less: one per
    // hardware thread. The picture does not depend on the count.
    void SetThreads(int count);
    int Threads() const { return threads_->Count(); }

    // Drawing is off during warm-up frames: calls are accepted and ignored.
    bool drawing = true;
    void Submit(RenderMesh& mesh, const float* offset3);
    const Texture* TextureOf(int32_t handle) const;
    bool TextureAlive(int32_t handle) const { return TextureOf(handle) != nullptr; }
    void CommitLight(const RenderLight& light) {
        sunLight_ = light.record;
        haveSunLight_ = true;
    }
    Camera& camera() { return camera_; }
    float FogAmount(float distance) const;
    // Light falling on a surface facing along normal (relative to the sun light).
    void LightAt(Vec3 normal, float* rgb) const;
    int LiveMeshes() const { return static_cast<int>(meshes_.size()); }
    int LiveTextures() const;
    std::vector<std::string> missingTextures;

    // What the plug-in handed over most recently.
    float ambient[3] = {0, 0, 0};
    float sky[3] = {0, 0, 0};
    float fog[3] = {0, 0, 0};
    float fogStart = 0;
    float fogEnd = 0;
    int32_t sunLightEnabled = 0;
    float sunLightLevel = 0;
    int32_t reflectionRow = -1;
    std::vector<int32_t> reflectionHandles;
    float groundScale = 1.0f; // ground pattern size factor

    // Counters for the statistics.
    uint64_t meshDraws = 0;
    uint64_t trianglesDrawn = 0;
    uint64_t quadsDrawn = 0;

private:
    struct Pending {
        RenderMesh* mesh;
        envsys::MaterialRecord* material;
        float offset[3];
    };
    struct TextureSlot {
        std::string path;
        Texture texture;
        int refs = 0;
    };
    void DrawMesh(RenderMesh& mesh, const envsys::MaterialRecord* material, const float* offset);
    RasterState StateFor(const envsys::MaterialRecord* material) const;
    void LoadStageTextures(envsys::MaterialRecord* record);
    // Draws what was recorded. The list and the frame are the picture in
    // the making, so reading the picture (a const operation) finishes them.
    void Flush() const;
    // Draws what was recorded once the list is long; returns the number
    // under which the primitives' state is recorded from then on.
    int FlushIfLong(const RasterState& state, int index);

    Camera& camera_;
    DiskFiles& files_;
    RenderView view_;
    mutable FrameBuffer frame_;
    mutable DrawList list_;
    std::unique_ptr<RenderThreads> threads_;
    std::vector<std::unique_ptr<RenderMesh>> meshes_;
    std::vector<std::unique_ptr<RenderLight>> lights_;
    std::map<int32_t, TextureSlot> textures_;
    std::map<std::string, int32_t> texturesByPath_;
    int32_t nextTexture_ = 1;
    std::vector<Pending> pending_;
    bool scenePhase_ = false;
    envsys::MaterialRecord* quadMaterial_ = nullptr;
    envsys::LightRecord sunLight_{};
    bool haveSunLight_ = false;
};

} // namespace envhost
