#pragma once

#include <glm/vec3.hpp>

#include <cstdint>
#include <vector>

namespace gloam::render {

// A lighter triangle list for a mesh, over the same vertices, for a
// rasteriser that sets up every triangle on the CPU. The scene's props are
// modelled for a GPU: a pumpkin has 1,600 triangles and covers a few
// hundred pixels of a software-rendered frame, so most of its triangles
// cost set-up time and show nothing.
struct LighterMesh {
    // Meshes of fewer triangles are kept as they are.
    static constexpr int fromTriangles = 1000;
    // The share of the triangles aimed at; the error bound may keep more.
    static constexpr float keptShare = 0.2f;
    // How far the surface may move, in the mesh's units (metres): a pixel
    // of a half-size 1200 × 540 frame is about 1.3 cm wide at 5 m.
    static constexpr float maximumError = 0.01f;

    // Indices address `positions` (all of them in range); the result does
    // too and adds no vertices, so a skinned mesh keeps its joints and the
    // vertex buffers are shared. Returns `indices` when the mesh is small
    // or cannot be made lighter.
    static std::vector<std::uint32_t> indicesFor(const std::vector<glm::vec3>& positions,
                                                 const std::vector<std::uint32_t>& indices);
};

} // namespace gloam::render
