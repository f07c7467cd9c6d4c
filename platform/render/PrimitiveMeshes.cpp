#include "platform/render/PrimitiveMeshes.h"

#include <cmath>
#include <numbers>

namespace gloam::render {

MeshPtr PrimitiveMeshes::sphere(float radius, int segments, int rings)
{
    auto mesh = std::make_shared<MeshData>();
    constexpr float pi = std::numbers::pi_v<float>;
    for (int r = 0; r <= rings; ++r) {
        const float v = static_cast<float>(r) / static_cast<float>(rings);
        const float theta = v * pi;
        for (int s = 0; s <= segments; ++s) {
            const float u = static_cast<float>(s) / static_cast<float>(segments);
            const float phi = u * 2.0f * pi;
            const glm::vec3 n(std::sin(theta) * std::cos(phi), std::cos(theta), -std::sin(theta) * std::sin(phi));
            mesh->positions.push_back(n * radius);
            mesh->normals.push_back(n);
            mesh->textureCoordinates.emplace_back(u, 1.0f - v);
            mesh->tangents.emplace_back(-std::sin(phi), 0.0f, -std::cos(phi), 1.0f);
        }
    }
    const int stride = segments + 1;
    for (int r = 0; r < rings; ++r) {
        for (int s = 0; s < segments; ++s) {
            const auto a = static_cast<std::uint32_t>(r * stride + s);
            const auto b = static_cast<std::uint32_t>((r + 1) * stride + s);
            mesh->indices.insert(mesh->indices.end(), {a, b, a + 1, a + 1, b, b + 1});
        }
    }
    mesh->finish();
    return mesh;
}

MeshPtr PrimitiveMeshes::plane(float width, float depth)
{
    auto mesh = std::make_shared<MeshData>();
    const float x = width / 2, z = depth / 2;
    mesh->positions = {{-x, 0, z}, {x, 0, z}, {x, 0, -z}, {-x, 0, -z}};
    mesh->normals.assign(4, {0, 1, 0});
    mesh->textureCoordinates = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    mesh->tangents.assign(4, {1, 0, 0, 1});
    mesh->indices = {0, 1, 2, 0, 2, 3};
    mesh->finish();
    return mesh;
}

MeshPtr PrimitiveMeshes::box(glm::vec3 size)
{
    auto mesh = std::make_shared<MeshData>();
    const glm::vec3 h = size * 0.5f;
    const glm::vec3 normals[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (const auto& n : normals) {
        const glm::vec3 t = std::abs(n.y) > 0.5f ? glm::vec3(1, 0, 0) : glm::cross(glm::vec3(0, 1, 0), n);
        const glm::vec3 b = glm::cross(n, t);
        const auto base = static_cast<std::uint32_t>(mesh->positions.size());
        const glm::vec2 corners[4] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (const auto& c : corners) {
            mesh->positions.push_back((n + t * c.x + b * c.y) * h);
            mesh->normals.push_back(n);
            mesh->textureCoordinates.emplace_back((c.x + 1) / 2, (1 + c.y) / 2);
            mesh->tangents.emplace_back(t, 1.0f);
        }
        mesh->indices.insert(mesh->indices.end(), {base, base + 1, base + 2, base, base + 2, base + 3});
    }
    mesh->finish();
    return mesh;
}

MeshPtr PrimitiveMeshes::octahedron()
{
    auto mesh = std::make_shared<MeshData>();
    const glm::vec3 corners[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (const auto& corner : corners) {
        mesh->positions.push_back(corner);
        mesh->normals.push_back(corner);
        mesh->textureCoordinates.emplace_back(0.5f, 0.5f);
    }
    // Counter-clockwise seen from outside.
    for (std::uint32_t x : {0u, 1u}) {
        for (std::uint32_t y : {2u, 3u}) {
            for (std::uint32_t z : {4u, 5u}) {
                const bool flip = ((x == 1) != (y == 3)) != (z == 5);
                mesh->indices.insert(mesh->indices.end(), {x, flip ? z : y, flip ? y : z});
            }
        }
    }
    mesh->finish();
    return mesh;
}

} // namespace gloam::render
