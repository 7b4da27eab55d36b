// The renderer's textures and materials: PNG files loaded once per path and
// shared by handle, the plug-in's material records read and their stage
// textures loaded, and a material turned into the rasteriser's state.
#include "host/SoftwareRenderer.h"

#include <algorithm>
#include <cstring>

#include "config/Material.h"
#include "testing/DiskFiles.h"

namespace envhost {

using namespace envsys;

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

} // namespace envhost
