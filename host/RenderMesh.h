// A mesh the plug-in fills and draws through the host's graphics service.
#pragma once

#include <cstdint>
#include <vector>

#include "envsys/HostServices.h"

namespace envhost {

class SoftwareRenderer;

class RenderMesh final : public envsys::HostMesh {
public:
    RenderMesh(SoftwareRenderer& owner, int32_t vertexCount, int32_t indexCount);
    envsys::MeshRecord* GetMeshData(envsys::MeshRecord** out) override;
    // Computes the bounding sphere kept in the placement record.
    void Commit() override;
    void DrawRelative(const float* offset3) override;
    void DrawAt(const float* origin3) override;

    envsys::MeshRecord record{};
    std::vector<envsys::Vertex> vertices;
    std::vector<uint16_t> indices;

private:
    SoftwareRenderer& owner_;
};

} // namespace envhost
