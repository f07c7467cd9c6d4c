#pragma once

#include "platform/render/MeshData.h"

#include <glm/vec3.hpp>

namespace gloam::render {

// Simple meshes with normals, texture coordinates and tangents, for test
// scenes, tools and benchmarks.
struct PrimitiveMeshes {
    static MeshPtr sphere(float radius, int segments = 48, int rings = 24);
    // A plane in x-z facing +Y, centred on the origin.
    static MeshPtr plane(float width, float depth);
    static MeshPtr box(glm::vec3 size);
    // Eight triangles between ±1 on each axis, normals pointing out from
    // the centre.
    static MeshPtr octahedron();
};

} // namespace gloam::render
