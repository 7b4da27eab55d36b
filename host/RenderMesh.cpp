#include "host/RenderMesh.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/SoftwareRenderer.h"

namespace envhost {

using namespace envsys;

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

} // namespace envhost
