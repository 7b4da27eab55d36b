#include "config/Material.h"

#include <cstdio>
#include <cstring>

#include "config/IniFile.h"
#include "config/StringUtils.h"
#include "plugin/Log.h"

namespace envsys {

const char* const kCullModeNames[kCullModeCount] = {"NO_CULL", "COUNTERCLOCKWISE", "CLOCKWISE"};

const char* const kBlendOpNames[kBlendOpCount] = {
    "ZERO",
    "ONE",
    "ADD",
    "MODULATE",
    "MODULATE_AND_ADD_SRC",
    "MODULATE_AND_ADD_DST",
    "MODULATE_MUL_2",
    "MODULATE_INV_SRC",
    "MODULATE_INV_DST",
    "BLEND_SRC_ALPHA",
    "BLEND_DST_ALPHA",
    "BLEND_INV_SRC_ALPHA",
    "BLEND_INV_DST_ALPHA",
    "BLEND_SRC_ALPHA_ADD_DST",
    "BLEND_INV_SRC_ALPHA_ADD_SRC",
};

const char* const kStageOpNames[kStageOpCount] = {
    "NO_OP",
    "TEXTURE",
    "DIFFUSE",
    "SPECULAR",
    "TEXTURE_ADD_CURRENT",
    "TEXTURE_ADD_DIFFUSE",
    "TEXTURE_ADD_SPECULAR",
    "TEXTURE_MODULATE_CURRENT",
    "TEXTURE_MODULATE_DIFFUSE",
    "TEXTURE_MODULATE_SPECULAR",
    "TEXTURE_BLEND_TEXTURE_ALPHA",
    "TEXTURE_BLEND_CURRENT_ALPHA",
    "BUMPMAP",
    "TRANSPARENCY",
};

namespace {

struct FlagKey {
    const char* name;
    uint32_t bit;
    int32_t defaultValue;
};

// In the order the keys are read.
const FlagKey kMaterialFlagKeys[] = {
    {"DepthBufferCheck", kMaterialDepthBufferCheck, 0}, {"DepthBufferWrite", kMaterialDepthBufferWrite, 0},
    {"AlphaTestEnabled", kMaterialAlphaTestEnabled, 0}, {"RenderedInOrder", kMaterialRenderedInOrder, 0},
    {"LightEnabled", kMaterialLightEnabled, 0},         {"SpecularEnabled", kMaterialSpecularEnabled, 0},
    {"EmissiveEnabled", kMaterialEmissiveEnabled, 0},   {"FogEnabled", kMaterialFogEnabled, 0},
};

const FlagKey kStageFlagKeys[] = {
    {"FilterEnabled", kStageFilterEnabled, 0},
    {"MipMap", kStageMipMap, 1},
    {"TileU", kStageTileU, 0},
    {"TileV", kStageTileV, 0},
    {"MirrorU", kStageMirrorU, 0},
    {"MirrorV", kStageMirrorV, 0},
    {"ReflectionMapping", kStageReflectionMapping, 0},
    {"SpecularMapping", kStageSpecularMapping, 0},
};

// Stage counts of the first pass entry of the four pass plans.
const uint16_t kPlanStageCounts[4] = {1, 2, 4, 8};

template <size_t N>
uint16_t LookUpName(IniFile* file, const char* section, const char* key, const char* const (&names)[N]) {
    char value[kNameBufferSize];
    file->GetString(section, key, "", value, kNameBufferSize, kCaseAsStored);
    for (size_t i = 0; i < N; ++i)
        if (StrEqual(value, names[i], 0)) return static_cast<uint16_t>(i);
    return 0;
}

uint32_t PriorityFlag(int32_t level) {
    if (level < 1) return kMaterialPriority0;
    if (level == 1) return kMaterialPriority1;
    if (level == 2) return kMaterialPriority2;
    return kMaterialPriority3;
}

void ReadStage(TextureStage* stage, IniFile* file, const char* section, int number) {
    // "TextureStage[08]." and the longest key name fit with room to spare.
    char prefix[24];
    char key[64];
    std::snprintf(prefix, sizeof prefix, "TextureStage[%02d].", number);
    std::snprintf(key, sizeof key, "%s%s", prefix, "TextureName");
    file->GetString(section, key, "", stage->textureName, kTextureNameSize, kCaseAsStored);
    stage->textureHandle = -1;
    stage->flags = 0;
    for (const FlagKey& flag : kStageFlagKeys) {
        std::snprintf(key, sizeof key, "%s%s", prefix, flag.name);
        if (file->GetBool(section, key, flag.defaultValue) != 0) stage->flags |= flag.bit;
    }
    std::snprintf(key, sizeof key, "%s%s", prefix, "StageColorOp");
    stage->colorOp = LookUpName(file, section, key, kStageOpNames);
    std::snprintf(key, sizeof key, "%s%s", prefix, "StageAlphaOp");
    stage->alphaOp = LookUpName(file, section, key, kStageOpNames);
}

void BuildPassPlans(MaterialRecord* record) {
    PassEntry unused{};
    std::memset(unused.stageIndex, 0xFF, sizeof unused.stageIndex);
    PassPlan& first = record->passPlans[0];
    for (int i = 0; i < 4; ++i)
        first.SetEntry(i, unused);
    first.passCount = 1;
    first.blendOp = record->blendOp;
    const uint16_t stageCount = static_cast<uint16_t>(record->numTextureStages);
    for (int plan = 0; plan < 4; ++plan) {
        PassPlan& target = record->passPlans[plan];
        if (plan > 0) target = first;
        PassEntry entry = unused;
        entry.stageCount = kPlanStageCounts[plan] < stageCount ? kPlanStageCounts[plan] : stageCount;
        for (uint16_t s = 0; s < entry.stageCount; ++s)
            entry.stageIndex[s] = static_cast<uint8_t>(s);
        target.SetEntry(0, entry);
    }
}

} // namespace

bool LoadMaterial(MaterialRecord* record, IniFile* file, const char* section) {
    if (record == nullptr) return false;
    std::memset(record, 0, sizeof *record);
    if (file == nullptr || file->HasSection(section) == 0) {
        LogMessage("Unable to find material section %s!", section != nullptr ? section : "(null)");
        return false;
    }
    for (const FlagKey& flag : kMaterialFlagKeys)
        if (file->GetBool(section, flag.name, flag.defaultValue) != 0) record->flags |= flag.bit;
    record->flags |= PriorityFlag(file->GetInt(section, "PriorityLevel", 0));

    GetColor(record->ambient, file, section, "AmbientColor");
    GetColor(record->diffuse, file, section, "DiffuseColor");
    GetColor(record->specular, file, section, "SpecularColor");
    GetColor(record->emissive, file, section, "EmissiveColor");
    record->specularLevel = file->GetFloat(section, "SpecularLevel", 1.0f);
    record->specularPower = file->GetFloat(section, "SpecularPower", 0.0f);
    record->transparency = file->GetFloat(section, "Transparency", 0.0f);
    record->reflectivity = file->GetFloat(section, "Reflectivity", 0.0f);
    record->zBufferOffset = static_cast<int16_t>(file->GetInt(section, "ZBufferOffset", 0));
    record->cullMode = LookUpName(file, section, "CullMode", kCullModeNames);
    record->blendOp = LookUpName(file, section, "BlendOp", kBlendOpNames);

    int32_t stageCount = file->GetInt(section, "NumTextureStages", 0);
    if (stageCount < 0 || stageCount > kMaxTextureStages) {
        LogMessage("Material %s has invalid element count %d!", section, stageCount);
        stageCount = 0;
    }
    record->numTextureStages = static_cast<int16_t>(stageCount);
    for (int32_t i = 0; i < stageCount; ++i)
        ReadStage(&record->stages[i], file, section, i + 1);

    BuildPassPlans(record);
    record->graphicsHandle = -1;
    return true;
}

} // namespace envsys
