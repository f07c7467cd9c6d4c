#include "forge/mesh/Mesh.h"

#include <cmath>

#include <glm/geometric.hpp>
#include <glm/mat3x3.hpp>
#include <glm/matrix.hpp>

namespace gloam::forge {

void Bounds::add(glm::vec3 p)
{
    min = glm::min(min, p);
    max = glm::max(max, p);
}

std::uint32_t Mesh::add(glm::vec3 position, glm::vec3 normal, glm::vec2 uv)
{
    vertices.push_back({position, normal, uv});
    return static_cast<std::uint32_t>(vertices.size() - 1);
}

void Mesh::triangle(std::uint32_t a, std::uint32_t b, std::uint32_t c)
{
    indices.insert(indices.end(), {a, b, c});
}

void Mesh::quad(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d)
{
    indices.insert(indices.end(), {a, b, c, a, c, d});
}

void Mesh::append(const Mesh& other, const glm::mat4& transform)
{
    auto base = static_cast<std::uint32_t>(vertices.size());
    glm::mat3 normalMatrix = glm::transpose(glm::inverse(glm::mat3(transform)));
    bool flip = glm::determinant(glm::mat3(transform)) < 0.0f;
    for (const Vertex& v : other.vertices) {
        glm::vec3 n = normalMatrix * v.normal;
        float len = glm::length(n);
        vertices.push_back({glm::vec3(transform * glm::vec4(v.position, 1.0f)), len > 0.0f ? n / len : v.normal, v.uv});
    }
    for (std::size_t i = 0; i + 2 < other.indices.size(); i += 3) {
        std::uint32_t a = other.indices[i] + base;
        std::uint32_t b = other.indices[i + 1] + base;
        std::uint32_t c = other.indices[i + 2] + base;
        if (flip) {
            std::swap(b, c);
        }
        indices.insert(indices.end(), {a, b, c});
    }
    if (!other.joints.empty() || !joints.empty()) {
        joints.resize(base, glm::u16vec4(0));
        weights.resize(base, glm::vec4(1, 0, 0, 0));
        if (other.joints.empty()) {
            joints.resize(vertices.size(), glm::u16vec4(0));
            weights.resize(vertices.size(), glm::vec4(1, 0, 0, 0));
        } else {
            joints.insert(joints.end(), other.joints.begin(), other.joints.end());
            weights.insert(weights.end(), other.weights.begin(), other.weights.end());
        }
    }
}

Mesh Mesh::transformed(const glm::mat4& transform) const
{
    Mesh out;
    out.append(*this, transform);
    return out;
}

void Mesh::recomputeNormals()
{
    std::vector<glm::vec3> sums(vertices.size(), glm::vec3(0.0f));
    for (std::size_t i = 0; i + 2 < indices.size(); i += 3) {
        glm::vec3 a = vertices[indices[i]].position;
        glm::vec3 b = vertices[indices[i + 1]].position;
        glm::vec3 c = vertices[indices[i + 2]].position;
        glm::vec3 n = glm::cross(b - a, c - a);
        sums[indices[i]] += n;
        sums[indices[i + 1]] += n;
        sums[indices[i + 2]] += n;
    }
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        float len = glm::length(sums[i]);
        if (len > 1e-12f) {
            vertices[i].normal = sums[i] / len;
        }
    }
}

void Mesh::displace(const std::function<float(glm::vec3, glm::vec3)>& f)
{
    for (Vertex& v : vertices) {
        v.position += v.normal * f(v.position, v.normal);
    }
}

void Mesh::warp(const std::function<glm::vec3(glm::vec3)>& f)
{
    for (Vertex& v : vertices) {
        v.position = f(v.position);
    }
}

void Mesh::boxUvs(float metresPerRepeat)
{
    float s = 1.0f / metresPerRepeat;
    for (Vertex& v : vertices) {
        glm::vec3 n = glm::abs(v.normal);
        glm::vec3 p = v.position * s;
        if (n.x >= n.y && n.x >= n.z) {
            v.uv = {v.normal.x > 0 ? -p.z : p.z, -p.y};
        } else if (n.y >= n.z) {
            v.uv = {p.x, v.normal.y > 0 ? p.z : -p.z};
        } else {
            v.uv = {v.normal.z > 0 ? p.x : -p.x, -p.y};
        }
    }
}

Bounds Mesh::bounds() const
{
    Bounds b;
    for (const Vertex& v : vertices) {
        b.add(v.position);
    }
    return b;
}

} // namespace gloam::forge
