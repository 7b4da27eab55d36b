// A host whose services do no work: every call returns at once with a fixed
// answer (views see everything, the random service returns a constant share,
// meshes hand out plain arrays). Frames measured against it show the
// plug-in's own cost; the reference loops call the same services. The calls
// a frame makes per star are defined in NullHost.cpp, out of the sight of
// the benchmarks' code, so that the reference loop cannot inline them.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "envsys/HostServices.h"

namespace envsys {
namespace bench {

class NullMesh final : public HostMesh {
public:
    NullMesh(int32_t vertexCount, int32_t indexCount)
        : vertices(static_cast<size_t>(vertexCount > 0 ? vertexCount : 0)),
          indices(static_cast<size_t>(indexCount > 0 ? indexCount : 0)) {
        std::memset(static_cast<void*>(&record), 0, sizeof record);
        record.vertices = vertices.data();
        record.indices = indices.data();
    }
    MeshRecord* GetMeshData(MeshRecord** out) override {
        if (out != nullptr) *out = &record;
        return &record;
    }
    void Commit() override {}
    void DrawRelative(const float*) override {}
    void DrawAt(const float*) override {}

    MeshRecord record;
    std::vector<Vertex> vertices;
    std::vector<uint16_t> indices;
};

class NullLight final : public HostLight {
public:
    NullLight() { std::memset(static_cast<void*>(&record), 0, sizeof record); }
    LightRecord* GetLightData(LightRecord** out) override {
        if (out != nullptr) *out = &record;
        return &record;
    }
    void Commit() override {}
    LightRecord record;
};

class NullView : public HostView {
public:
    NullView() {
        std::memset(static_cast<void*>(&info), 0, sizeof info);
        for (int32_t& flag : panels)
            flag = 1;
    }
    ViewInfo* GetViewInfo(ViewInfo** out) override {
        if (out != nullptr) *out = &info;
        return &info;
    }
    void GetViewMatrix(float* m9) override {
        // The identity: looking along the world's axes.
        for (int i = 0; i < 9; ++i)
            m9[i] = i % 4 == 0 ? 1.0f : 0.0f;
    }
    void ScreenExtent(float size, float* halfX, float* halfY) override { *halfX = *halfY = size; }
    float ScreenScale(float size) override;
    float ScreenAspect() override { return 1.0f; }
    const int32_t* GetPanelFlags() override { return panels; }
    void ProjectDirection(float* out3, const float* direction3) override;
    int32_t IsSunVisible(const float*, int32_t) override { return 1; }
    int32_t IsPointVisible(const float* projected3) override;
    int32_t IsMeshVisible(const void*, const float*) override { return 1; }

    ViewInfo info;
    int32_t panels[8];
};

class NullGraphics : public GraphicsService {
public:
    HostMesh* CreateMesh(int32_t vertexCount, int32_t indexCount, int32_t) override {
        return new NullMesh(vertexCount, indexCount);
    }
    void ReleaseMesh(HostMesh** mesh) override {
        if (mesh == nullptr) return;
        delete static_cast<NullMesh*>(*mesh);
        *mesh = nullptr;
    }
    HostLight* CreateLight(int32_t) override { return new NullLight(); }
    void ReleaseLight(HostLight** light) override {
        if (light == nullptr) return;
        delete static_cast<NullLight*>(*light);
        *light = nullptr;
    }
    HostView* GetView() override { return &view; }
    int32_t LoadTexture(const char*, int32_t, int32_t) override { return ++textures; }
    void ReleaseTexture(int32_t) override {}
    int32_t LoadMaterialRecord(MaterialRecord*, IniFile*, const char*) override { return 0; }
    int32_t PrepareMaterial(MaterialRecord*) override { return 1; }
    void SetReflectionMaps(int32_t, int32_t, const int32_t*) override {}
    void SetQuadMode(int32_t mode) override;
    void EndQuads() override;
    void SetQuadMaterial(MaterialRecord* record) override;
    void BeginQuads(int32_t flags) override;
    void DrawQuads(int32_t count, const Vertex* vertices) override;
    void LoadingFinished(int32_t) override {}
    void SetAmbientColor(const float*) override {}
    void SetSkyColor(const float*) override {}
    void LoadingFinishedLate(int32_t) override {}
    void SetFogColor(const float*) override {}
    void SetFogRange(float, float) override {}
    void SetSunLightEnabled(int32_t) override {}
    void SetSunLightLevel(float) override {}

    NullView view;
    int32_t textures = 0;
    uint64_t quads = 0; // drawn quads, so that a benchmark can check the stars were drawn
};

class NullViewer : public ViewerService {
public:
    void GetViewerPosition(double* out3) override {
        out3[0] = 0.0;
        out3[1] = 0.0;
        out3[2] = 150.0; // metres above the ground, below any overcast
    }
    void GetViewerMotion(float* out3) override { out3[0] = out3[1] = out3[2] = 0.0f; }
    void GetViewOrientation(float* m9) override {
        for (int i = 0; i < 9; ++i)
            m9[i] = i % 4 == 0 ? 1.0f : 0.0f;
    }
};

class NullRandom : public RandomService {
public:
    float Random(float upperBound) override;
};

class NullParticles : public ParticleService {
public:
    int32_t CreateParticleSystem(const char*) override { return 1; }
    void EmitParticles(int32_t* emitter, int32_t, const EmitterRecord*, int32_t) override {
        if (emitter != nullptr) *emitter = 1;
    }
};

} // namespace bench
} // namespace envsys
