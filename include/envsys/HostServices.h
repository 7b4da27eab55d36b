// The host's side of the boundary: the application shell and every service
// the environment plug-in acquires from it. Operation numbers are slot
// positions in each object's virtual table, so every declaration below stays
// in order; slots the plug-in never calls are declared as reserved operations
// with an empty body so that a host only implements what is used. No
// interface has a virtual destructor (it would take slots).
#pragma once

#include <cstdint>

#include "envsys/Records.h"

// The slot numbers and byte offsets are aligned by hand as tables; the
// layout tool leaves them so.
// clang-format off
#define ENVSYS_RESERVED_SLOT(n) \
    virtual void Reserved##n() {}

namespace envsys {

class EnvironmentSystemInterface;
class IniFile;

class ApplicationShell {
public:
    virtual int32_t Register(const char* name, EnvironmentSystemInterface* object, uint32_t param) = 0; // 0
    virtual int32_t Unregister(const char* name) = 0;                      // 1
    virtual int32_t Acquire(const char* tag, void** service) = 0;          // 2
    virtual int32_t Release(const char* tag, void** service) = 0;          // 3

protected:
    ~ApplicationShell() = default;
};

class MemoryService { // "MEM"
public:
    virtual void* Allocate(uint32_t size, int32_t zero1, int32_t zero2, const char* ownerTag) = 0; // 0
    virtual void Free(void* block) = 0;                                    // 1
    virtual void ReleaseOwner(const char* ownerTag) = 0;                   // 2

protected:
    ~MemoryService() = default;
};

class FileService { // "FMG"
public:
    ENVSYS_RESERVED_SLOT(0)
    ENVSYS_RESERVED_SLOT(1)
    ENVSYS_RESERVED_SLOT(2)
    ENVSYS_RESERVED_SLOT(3)
    virtual int32_t Open(const char* path, int32_t mode) = 0;              // 4, -1 on failure
    virtual void Close(int32_t handle) = 0;                                // 5
    virtual int32_t Read(int32_t handle, void* buffer, uint32_t byteCount) = 0; // 6
    ENVSYS_RESERVED_SLOT(7)
    ENVSYS_RESERVED_SLOT(8)
    ENVSYS_RESERVED_SLOT(9)
    virtual int32_t Exists(const char* path, int32_t flags) = 0;           // 10

protected:
    ~FileService() = default;
};

class RandomService { // "RND"
public:
    ENVSYS_RESERVED_SLOT(0)
    ENVSYS_RESERVED_SLOT(1)
    virtual float Random(float upperBound) = 0; // 2

protected:
    ~RandomService() = default;
};

class ApplicationService { // "APP"
public:
    ENVSYS_RESERVED_SLOT(0)
    ENVSYS_RESERVED_SLOT(1)
    ENVSYS_RESERVED_SLOT(2)
    ENVSYS_RESERVED_SLOT(3)
    ENVSYS_RESERVED_SLOT(4)
    ENVSYS_RESERVED_SLOT(5)
    ENVSYS_RESERVED_SLOT(6)
    ENVSYS_RESERVED_SLOT(7)
    ENVSYS_RESERVED_SLOT(8)
    ENVSYS_RESERVED_SLOT(9)
    ENVSYS_RESERVED_SLOT(10)
    ENVSYS_RESERVED_SLOT(11)
    ENVSYS_RESERVED_SLOT(12)
    ENVSYS_RESERVED_SLOT(13)
    virtual uint32_t Value14() = 0; // 14
    ENVSYS_RESERVED_SLOT(15)
    virtual uint32_t Value16() = 0; // 16

protected:
    ~ApplicationService() = default;
};

class HostMesh {
public:
    virtual MeshRecord* GetMeshData(MeshRecord** out) = 0; // 0
    virtual void Commit() = 0;                              // 1
    ENVSYS_RESERVED_SLOT(2)
    ENVSYS_RESERVED_SLOT(3)
    ENVSYS_RESERVED_SLOT(4)
    virtual void DrawRelative(const float* offset3) = 0;    // 5
    ENVSYS_RESERVED_SLOT(6)
    ENVSYS_RESERVED_SLOT(7)
    ENVSYS_RESERVED_SLOT(8)
    ENVSYS_RESERVED_SLOT(9)
    ENVSYS_RESERVED_SLOT(10)
    virtual void DrawAt(const float* origin3) = 0;          // 11

protected:
    ~HostMesh() = default;
};

class HostLight {
public:
    virtual LightRecord* GetLightData(LightRecord** out) = 0; // 0
    ENVSYS_RESERVED_SLOT(1)
    ENVSYS_RESERVED_SLOT(2)
    virtual void Commit() = 0;                                // 3

protected:
    ~HostLight() = default;
};

class HostView {
public:
    virtual ViewInfo* GetViewInfo(ViewInfo** out) = 0;                       // 0
    ENVSYS_RESERVED_SLOT(1)
    ENVSYS_RESERVED_SLOT(2)
    ENVSYS_RESERVED_SLOT(3)
    virtual void GetViewMatrix(float* m9) = 0;                               // 4
    ENVSYS_RESERVED_SLOT(5)
    virtual void ScreenExtent(float size, float* halfX, float* halfY) = 0;   // 6
    virtual float ScreenScale(float size) = 0;                               // 7
    virtual float ScreenAspect() = 0;                                        // 8
    ENVSYS_RESERVED_SLOT(9)
    ENVSYS_RESERVED_SLOT(10)
    ENVSYS_RESERVED_SLOT(11)
    ENVSYS_RESERVED_SLOT(12)
    virtual const int32_t* GetPanelFlags() = 0;                              // 13, eight flags
    ENVSYS_RESERVED_SLOT(14)
    ENVSYS_RESERVED_SLOT(15)
    virtual void ProjectDirection(float* out3, const float* direction3) = 0; // 16, x in out[0], y in out[2]
    ENVSYS_RESERVED_SLOT(17)
    virtual int32_t IsSunVisible(const float* projected3, int32_t size) = 0; // 18
    virtual int32_t IsPointVisible(const float* projected3) = 0;             // 19
    ENVSYS_RESERVED_SLOT(20)
    ENVSYS_RESERVED_SLOT(21)
    ENVSYS_RESERVED_SLOT(22)
    virtual int32_t IsMeshVisible(const void* placement, const float* origin3) = 0; // 23

protected:
    ~HostView() = default;
};

class GraphicsService { // "GFX"
public:
    ENVSYS_RESERVED_SLOT(0)
    ENVSYS_RESERVED_SLOT(1)
    ENVSYS_RESERVED_SLOT(2)
    ENVSYS_RESERVED_SLOT(3)
    ENVSYS_RESERVED_SLOT(4)
    ENVSYS_RESERVED_SLOT(5)
    ENVSYS_RESERVED_SLOT(6)
    ENVSYS_RESERVED_SLOT(7)
    ENVSYS_RESERVED_SLOT(8)
    ENVSYS_RESERVED_SLOT(9)
    ENVSYS_RESERVED_SLOT(10)
    ENVSYS_RESERVED_SLOT(11)
    ENVSYS_RESERVED_SLOT(12)
    virtual HostMesh* CreateMesh(int32_t vertexCount, int32_t indexCount, int32_t format) = 0; // 13
    virtual void ReleaseMesh(HostMesh** mesh) = 0;                                             // 14
    virtual HostLight* CreateLight(int32_t kind) = 0;                                          // 15
    virtual void ReleaseLight(HostLight** light) = 0;                                          // 16
    ENVSYS_RESERVED_SLOT(17)
    ENVSYS_RESERVED_SLOT(18)
    ENVSYS_RESERVED_SLOT(19)
    virtual HostView* GetView() = 0;                                                           // 20
    ENVSYS_RESERVED_SLOT(21)
    ENVSYS_RESERVED_SLOT(22)
    ENVSYS_RESERVED_SLOT(23)
    ENVSYS_RESERVED_SLOT(24)
    virtual int32_t LoadTexture(const char* fileName, int32_t a, int32_t b) = 0;               // 25, -1 for none
    ENVSYS_RESERVED_SLOT(26)
    virtual void ReleaseTexture(int32_t handle) = 0;                                           // 27
    ENVSYS_RESERVED_SLOT(28)
    ENVSYS_RESERVED_SLOT(29)
    ENVSYS_RESERVED_SLOT(30)
    ENVSYS_RESERVED_SLOT(31)
    ENVSYS_RESERVED_SLOT(32)
    ENVSYS_RESERVED_SLOT(33)
    ENVSYS_RESERVED_SLOT(34)
    ENVSYS_RESERVED_SLOT(35)
    virtual int32_t LoadMaterialRecord(MaterialRecord* record, IniFile* file, const char* section) = 0; // 36
    virtual int32_t PrepareMaterial(MaterialRecord* record) = 0;                               // 37
    ENVSYS_RESERVED_SLOT(38)
    virtual void SetReflectionMaps(int32_t row, int32_t countPerRow, const int32_t* handles) = 0; // 39
    ENVSYS_RESERVED_SLOT(40)
    ENVSYS_RESERVED_SLOT(41)
    virtual void SetQuadMode(int32_t mode) = 0;                                                // 42
    virtual void EndQuads() = 0;                                                               // 43
    virtual void SetQuadMaterial(MaterialRecord* record) = 0;                                  // 44, may be null
    virtual void BeginQuads(int32_t flags) = 0;                                                // 45
    ENVSYS_RESERVED_SLOT(46)
    ENVSYS_RESERVED_SLOT(47)
    ENVSYS_RESERVED_SLOT(48)
    ENVSYS_RESERVED_SLOT(49)
    virtual void DrawQuads(int32_t quadCount, const Vertex* vertices) = 0;                     // 50
    ENVSYS_RESERVED_SLOT(51)
    ENVSYS_RESERVED_SLOT(52)
    ENVSYS_RESERVED_SLOT(53)
    ENVSYS_RESERVED_SLOT(54)
    ENVSYS_RESERVED_SLOT(55)
    ENVSYS_RESERVED_SLOT(56)
    ENVSYS_RESERVED_SLOT(57)
    ENVSYS_RESERVED_SLOT(58)
    ENVSYS_RESERVED_SLOT(59)
    ENVSYS_RESERVED_SLOT(60)
    ENVSYS_RESERVED_SLOT(61)
    ENVSYS_RESERVED_SLOT(62)
    ENVSYS_RESERVED_SLOT(63)
    virtual void LoadingFinished(int32_t flag) = 0;                                            // 64, 1 at the end of loading
    virtual void SetAmbientColor(const float* rgb) = 0;                                        // 65
    virtual void SetSkyColor(const float* rgb) = 0;                                            // 66
    virtual void LoadingFinishedLate(int32_t flag) = 0;                                        // 67, 1 after 64
    virtual void SetFogColor(const float* rgb) = 0;                                            // 68
    virtual void SetFogRange(float start, float end) = 0;                                      // 69
    virtual void SetSunLightEnabled(int32_t on) = 0;                                           // 70
    virtual void SetSunLightLevel(float level) = 0;                                            // 71

protected:
    ~GraphicsService() = default;
};

class ViewerService { // "VMG"
public:
    ENVSYS_RESERVED_SLOT(0)
    ENVSYS_RESERVED_SLOT(1)
    ENVSYS_RESERVED_SLOT(2)
    ENVSYS_RESERVED_SLOT(3)
    ENVSYS_RESERVED_SLOT(4)
    ENVSYS_RESERVED_SLOT(5)
    ENVSYS_RESERVED_SLOT(6)
    ENVSYS_RESERVED_SLOT(7)
    ENVSYS_RESERVED_SLOT(8)
    ENVSYS_RESERVED_SLOT(9)
    ENVSYS_RESERVED_SLOT(10)
    ENVSYS_RESERVED_SLOT(11)
    ENVSYS_RESERVED_SLOT(12)
    ENVSYS_RESERVED_SLOT(13)
    ENVSYS_RESERVED_SLOT(14)
    ENVSYS_RESERVED_SLOT(15)
    ENVSYS_RESERVED_SLOT(16)
    ENVSYS_RESERVED_SLOT(17)
    ENVSYS_RESERVED_SLOT(18)
    ENVSYS_RESERVED_SLOT(19)
    ENVSYS_RESERVED_SLOT(20)
    ENVSYS_RESERVED_SLOT(21)
    ENVSYS_RESERVED_SLOT(22)
    ENVSYS_RESERVED_SLOT(23)
    ENVSYS_RESERVED_SLOT(24)
    virtual void GetViewerPosition(double* out3) = 0;  // 25, the third component is the altitude
    virtual void GetViewerMotion(float* out3) = 0;     // 26
    virtual void GetViewOrientation(float* m9) = 0;    // 27, row 2 is the forward direction

protected:
    ~ViewerService() = default;
};

class ParticleService { // "PTS"
public:
    ENVSYS_RESERVED_SLOT(0)
    ENVSYS_RESERVED_SLOT(1)
    ENVSYS_RESERVED_SLOT(2)
    ENVSYS_RESERVED_SLOT(3)
    ENVSYS_RESERVED_SLOT(4)
    ENVSYS_RESERVED_SLOT(5)
    ENVSYS_RESERVED_SLOT(6)
    ENVSYS_RESERVED_SLOT(7)
    virtual int32_t CreateParticleSystem(const char* effectName) = 0; // 8, -1 for none
    ENVSYS_RESERVED_SLOT(9)
    ENVSYS_RESERVED_SLOT(10)
    virtual void EmitParticles(int32_t* emitter, int32_t system, const EmitterRecord* record, int32_t zero) = 0; // 11

protected:
    ~ParticleService() = default;
};

// DLL and DBG are acquired and released but never called: opaque to the plug-in.
class DllService;
class DebugService;

} // namespace envsys
// clang-format on
