// Plain records exchanged between the environment plug-in and its host.
// Every record here is laid out byte for byte; the pointer-free ones are the
// same on every platform, the two with pointers widen each pointer to its
// natural size on 64-bit hosts and keep the field order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// The slot numbers and byte offsets are aligned by hand as tables; the
// layout tool leaves them so.
// clang-format off
namespace envsys {

// One mesh vertex, also used for screen-space quads: there the screen x is in
// x, the screen y in z, and y is 1.0.
struct Vertex {
    float x, y, z;
    float r, g, b, a;
    float u, v;
};
static_assert(sizeof(Vertex) == 36, "Vertex is nine floats");

struct TimeOfDay {
    int32_t hours;
    int32_t minutes;
    int32_t seconds;
    int32_t dayCarry;
};
static_assert(sizeof(TimeOfDay) == 16, "TimeOfDay layout");

struct CalendarDate {
    int32_t year;
    int32_t month;
    int32_t day;
};
static_assert(sizeof(CalendarDate) == 12, "CalendarDate layout");

struct WeatherParams {
    int32_t level;
    int32_t unused1;
    float layerAltitude;
    float transitionDepth;
    int32_t unused2;
    float intensity;
};
static_assert(sizeof(WeatherParams) == 24, "WeatherParams layout");

// The host's light record; only the named bytes are read or written here.
struct LightRecord {
    uint8_t reserved0[4];
    float diffuse[3];      // bytes 4..15
    uint8_t reserved1[12];
    float direction[3];    // bytes 28..39
    uint8_t reserved2[4];
    int16_t lightSwitch;   // bytes 44..45
    uint8_t reserved3[2];
};
static_assert(sizeof(LightRecord) == 48, "LightRecord layout");
static_assert(offsetof(LightRecord, diffuse) == 4, "LightRecord diffuse");
static_assert(offsetof(LightRecord, direction) == 28, "LightRecord direction");
static_assert(offsetof(LightRecord, lightSwitch) == 44, "LightRecord switch");

struct ViewInfo {
    uint8_t reserved0[4];
    int32_t left, top, right, bottom; // bytes 4..19
};
static_assert(sizeof(ViewInfo) == 20, "ViewInfo layout");
static_assert(offsetof(ViewInfo, left) == 4, "ViewInfo viewport");

// Handed to the particle service for every emission of the inclement effect.
struct EmitterRecord {
    double position[3];     // bytes 0..23
    int32_t zero[3];        // bytes 24..35
    uint8_t reserved0[12];
    float one;              // bytes 48..51, always 1.0
    uint8_t reserved1[12];
};
static_assert(sizeof(EmitterRecord) == 64, "EmitterRecord layout");
static_assert(offsetof(EmitterRecord, one) == 48, "EmitterRecord one");

// --- Material record: 896 bytes, no pointers ---------------------------------

enum MaterialFlags : uint32_t {
    kMaterialLightEnabled = 0x1,
    kMaterialSpecularEnabled = 0x2,
    kMaterialEmissiveEnabled = 0x4,
    kMaterialFogEnabled = 0x8,
    kMaterialDepthBufferCheck = 0x10,
    kMaterialDepthBufferWrite = 0x20,
    kMaterialRenderedInOrder = 0x40,
    kMaterialAlphaTestEnabled = 0x100,
    kMaterialPriority0 = 0x10000,
    kMaterialPriority1 = 0x20000,
    kMaterialPriority2 = 0x40000,
    kMaterialPriority3 = 0x140000,
};

enum StageFlags : uint32_t {
    kStageFilterEnabled = 0x1,
    kStageMipMap = 0x2,
    kStageTileU = 0x4,
    kStageTileV = 0x8,
    kStageMirrorU = 0x10,
    kStageMirrorV = 0x20,
    kStageReflectionMapping = 0x10000,
    kStageSpecularMapping = 0x20000,
};

// Index values of the name tables of a material definition.
enum CullMode : uint16_t { kCullNone = 0, kCullCounterClockwise = 1, kCullClockwise = 2 };

enum BlendOp : uint16_t {
    kBlendZero = 0,
    kBlendOne,
    kBlendAdd,
    kBlendModulate,
    kBlendModulateAndAddSrc,
    kBlendModulateAndAddDst,
    kBlendModulateMul2,
    kBlendModulateInvSrc,
    kBlendModulateInvDst,
    kBlendSrcAlpha,
    kBlendDstAlpha,
    kBlendInvSrcAlpha,
    kBlendInvDstAlpha,
    kBlendSrcAlphaAddDst,
    kBlendInvSrcAlphaAddSrc,
};

enum StageOp : uint16_t {
    kStageNoOp = 0,
    kStageTexture,
    kStageDiffuse,
    kStageSpecular,
    kStageTextureAddCurrent,
    kStageTextureAddDiffuse,
    kStageTextureAddSpecular,
    kStageTextureModulateCurrent,
    kStageTextureModulateDiffuse,
    kStageTextureModulateSpecular,
    kStageTextureBlendTextureAlpha,
    kStageTextureBlendCurrentAlpha,
    kStageBumpMap,
    kStageTransparency,
};

constexpr int kMaxTextureStages = 8;
constexpr int kTextureNameSize = 64;

struct TextureStage {
    char textureName[kTextureNameSize]; // at most 63 characters and a terminator
    int32_t textureHandle;              // -1 for none
    uint32_t flags;                     // StageFlags
    uint16_t colorOp;                   // StageOp
    uint16_t alphaOp;                   // StageOp
};

struct PassEntry {
    uint16_t stageCount;
    uint8_t stageIndex[8]; // unused bytes 0xFF
    uint8_t zero[2];       // the last entry of a plan ends without these
};

struct PassPlan {
    uint32_t passCount; // always 1
    uint16_t blendOp;   // copy of the material's blend operation
    // Four entries of 12 bytes at 6, 18, 30 and 42; the fourth is cut short
    // at byte 52, so the raw bytes are kept and reached through Entry().
    uint8_t entries[46];

    // Entry i (0..3); the fourth has no trailing zero bytes in the record.
    PassEntry Entry(int i) const {
        PassEntry entry{};
        std::memcpy(&entry, entries + kEntryStride * i, EntryBytes(i));
        return entry;
    }
    void SetEntry(int i, const PassEntry& entry) { std::memcpy(entries + kEntryStride * i, &entry, EntryBytes(i)); }

    static constexpr int kEntryStride = 12;
    static constexpr size_t EntryBytes(int i) { return i < 3 ? sizeof(PassEntry) : sizeof(PassEntry) - 2; }
};

struct MaterialRecord {
    uint32_t flags;          // 0
    float ambient[3];        // 4
    float diffuse[3];        // 16
    float specular[3];       // 28
    float emissive[3];       // 40
    float specularLevel;     // 52
    float specularPower;     // 56
    float reflectivity;      // 60
    float transparency;      // 64
    int16_t zBufferOffset;   // 68
    uint16_t cullMode;       // 70
    uint16_t blendOp;        // 72
    int16_t numTextureStages; // 74
    TextureStage stages[kMaxTextureStages]; // 76
    PassPlan passPlans[4];   // 684, 736, 788, 840
    int32_t graphicsHandle;  // 892
};

static_assert(sizeof(TextureStage) == 76, "stage record is 76 bytes");
static_assert(sizeof(PassEntry) == 12, "pass entry is 12 bytes");
static_assert(sizeof(PassPlan) == 52, "pass plan is 52 bytes");
static_assert(sizeof(MaterialRecord) == 896, "material record is 896 bytes");
static_assert(offsetof(MaterialRecord, specularLevel) == 52, "material layout");
static_assert(offsetof(MaterialRecord, transparency) == 64, "material layout");
static_assert(offsetof(MaterialRecord, zBufferOffset) == 68, "material layout");
static_assert(offsetof(MaterialRecord, blendOp) == 72, "material layout");
static_assert(offsetof(MaterialRecord, numTextureStages) == 74, "material layout");
static_assert(offsetof(MaterialRecord, stages) == 76, "material layout");
static_assert(offsetof(MaterialRecord, passPlans) == 684, "material layout");
static_assert(offsetof(MaterialRecord, graphicsHandle) == 892, "material layout");
static_assert(offsetof(TextureStage, textureHandle) == 64, "stage layout");
static_assert(offsetof(TextureStage, flags) == 68, "stage layout");
static_assert(offsetof(TextureStage, colorOp) == 72, "stage layout");
static_assert(offsetof(TextureStage, alphaOp) == 74, "stage layout");
static_assert(offsetof(PassPlan, entries) == 6, "pass plan layout");

// --- Mesh record ------------------------------------------------------------

struct MeshRecord {
    uint32_t reserved0;
    uint32_t reserved1;
    Vertex* vertices;
    uint16_t* indices;
    uint8_t reserved2[6];
    int16_t mode;           // set to 5 after a build
    uint8_t placement[16];  // handed to the view's visibility test
    MaterialRecord* material;
};
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(MeshRecord, vertices) == 8, "mesh layout (32-bit)");
static_assert(offsetof(MeshRecord, indices) == 12, "mesh layout (32-bit)");
static_assert(offsetof(MeshRecord, mode) == 22, "mesh layout (32-bit)");
static_assert(offsetof(MeshRecord, placement) == 24, "mesh layout (32-bit)");
static_assert(offsetof(MeshRecord, material) == 40, "mesh layout (32-bit)");
#else
static_assert(offsetof(MeshRecord, vertices) == 8, "mesh layout (64-bit)");
static_assert(offsetof(MeshRecord, indices) == 16, "mesh layout (64-bit)");
static_assert(offsetof(MeshRecord, mode) == 30, "mesh layout (64-bit)");
static_assert(offsetof(MeshRecord, placement) == 32, "mesh layout (64-bit)");
static_assert(offsetof(MeshRecord, material) == 48, "mesh layout (64-bit)");
#endif

} // namespace envsys
// clang-format on
