#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include <glm/mat4x4.hpp>
#include <glm/vec2.hpp>
#include <glm/vec3.hpp>
#include <glm/vec4.hpp>
#include <glm/gtc/type_precision.hpp>

namespace gloam::forge {

struct Bounds {
    glm::vec3 min{1e30f};
    glm::vec3 max{-1e30f};
    void add(glm::vec3 p);
    glm::vec3 centre() const { return (min + max) * 0.5f; }
    glm::vec3 size() const { return max - min; }
    bool empty() const { return min.x > max.x; }
};

struct Vertex {
    glm::vec3 position{0.0f};
    glm::vec3 normal{0.0f, 1.0f, 0.0f};
    glm::vec2 uv{0.0f};
};

// An indexed triangle list. Skinned meshes also carry four joint indices and
// weights per vertex (both lists empty for rigid meshes).
class Mesh {
public:
    std::vector<Vertex> vertices;
    std::vector<std::uint32_t> indices;
    std::vector<glm::u16vec4> joints;
    std::vector<glm::vec4> weights;

    std::uint32_t add(glm::vec3 position, glm::vec3 normal, glm::vec2 uv = {});
    void triangle(std::uint32_t a, std::uint32_t b, std::uint32_t c);
    // Two triangles a-b-c and a-c-d (counter-clockwise seen from the front).
    void quad(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d);

    // Appends another mesh, transformed (normals by the inverse transpose).
    void append(const Mesh& other, const glm::mat4& transform = glm::mat4(1.0f));
    Mesh transformed(const glm::mat4& transform) const;

    // Smooth normals from the triangles (area weighted), over shared indices.
    void recomputeNormals();
    // Moves every vertex along its normal by f(position, normal).
    void displace(const std::function<float(glm::vec3, glm::vec3)>& f);
    // Moves every vertex by f(position).
    void warp(const std::function<glm::vec3(glm::vec3)>& f);
    // Planar uvs from world position: the axis most aligned with the normal
    // is dropped (a box projection), scaled by metres per texture repeat.
    void boxUvs(float metresPerRepeat);

    Bounds bounds() const;
    std::size_t triangleCount() const { return indices.size() / 3; }
    bool skinned() const { return !joints.empty(); }
};

} // namespace gloam::forge
