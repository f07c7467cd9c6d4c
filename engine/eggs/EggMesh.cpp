#include "engine/eggs/EggMesh.h"

#include "platform/material/PhysicallyBasedMaterial.h"

#include "platform/mesh/MeshDescriptor.h"
#include "platform/mesh/MeshError.h"
#include "platform/scene/DynamicLightShadowComponent.h"

#include <glm/geometric.hpp>
#include <glm/gtc/constants.hpp>
#include <glm/gtx/quaternion.hpp>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

namespace gloam {

namespace {

// Normals shorter than this come from vertices on degenerate triangles only.
constexpr float shortestNormal = 1e-6F;

void noShadow(platform::Entity& entity)
{
    entity.components.set(platform::DynamicLightShadowComponent{false});
}

std::shared_ptr<platform::ModelEntity> attach(platform::MeshPtr mesh, const platform::Material& material,
                                              platform::Entity& parent)
{
    auto entity = platform::ModelEntity::make(std::move(mesh), {material});
    noShadow(*entity);
    parent.addChild(entity);
    return entity;
}

// The one unit sphere every ellipsoid scales: meshes are immutable, so the
// surprises' dozens of ellipsoids share it.
const platform::MeshPtr& unitSphere()
{
    static const platform::MeshPtr shared = platform::MeshResource::generateSphere(1.0F);
    return shared;
}

float cross2(glm::vec2 u, glm::vec2 v)
{
    return u.x * v.y - u.y * v.x;
}

void subdivide(glm::vec2 t0, glm::vec2 t1, glm::vec2 t2, int depth, std::vector<glm::vec3>& positions,
               std::vector<std::uint32_t>& indices)
{
    if (depth > 0) {
        const glm::vec2 m01 = (t0 + t1) * 0.5F;
        const glm::vec2 m12 = (t1 + t2) * 0.5F;
        const glm::vec2 m02 = (t0 + t2) * 0.5F;
        subdivide(t0, m01, m02, depth - 1, positions, indices);
        subdivide(m01, t1, m12, depth - 1, positions, indices);
        subdivide(m02, m12, t2, depth - 1, positions, indices);
        subdivide(m01, m12, m02, depth - 1, positions, indices);
        return;
    }
    const auto k = static_cast<std::uint32_t>(positions.size());
    positions.push_back(EggMesh::pumpkinSurface(t0));
    positions.push_back(EggMesh::pumpkinSurface(t1));
    positions.push_back(EggMesh::pumpkinSurface(t2));
    indices.insert(indices.end(), {k, k + 1, k + 2});
}

} // namespace

std::vector<glm::vec3> EggMesh::smoothNormals(const std::vector<glm::vec3>& positions,
                                              const std::vector<std::uint32_t>& indices)
{
    std::vector<glm::vec3> normals(positions.size(), glm::vec3(0.0F));
    const std::size_t count = positions.size();
    for (std::size_t i = 0; i + 2 < indices.size(); i += 3) {
        const std::uint32_t a = indices[i];
        const std::uint32_t b = indices[i + 1];
        const std::uint32_t c = indices[i + 2];
        if (a >= count || b >= count || c >= count) {
            continue; // the mesh check below reports it
        }
        // Not normalised: larger triangles weigh more.
        const glm::vec3 n = glm::cross(positions[b] - positions[a], positions[c] - positions[a]);
        normals[a] += n;
        normals[b] += n;
        normals[c] += n;
    }
    for (glm::vec3& n : normals) {
        const float length = glm::length(n);
        n = length > shortestNormal ? n / length : glm::vec3(0.0F, 1.0F, 0.0F);
    }
    return normals;
}

platform::MeshPtr EggMesh::mesh(std::string name, std::vector<glm::vec3> positions, std::vector<std::uint32_t> indices)
{
    indices.resize(indices.size() - indices.size() % 3);
    platform::MeshDescriptor descriptor;
    descriptor.name = std::move(name);
    descriptor.normals = smoothNormals(positions, indices);
    descriptor.positions = std::move(positions);
    descriptor.indices = std::move(indices);
    return platform::MeshResource::generate(std::move(descriptor));
}

std::shared_ptr<platform::ModelEntity> EggMesh::model(platform::MeshPtr mesh, platform::Material material,
                                                      glm::vec3 position, platform::Entity& parent)
{
    auto entity = platform::ModelEntity::make(std::move(mesh), {std::move(material)});
    entity->components.set(platform::DynamicLightShadowComponent{false});
    entity->setPosition(position);
    parent.addChild(entity);
    return entity;
}

platform::Material EggMesh::selfLit(glm::vec3 color, float roughness, float metallic, float emissive,
                                    platform::Blending blending)
{
    platform::PhysicallyBasedMaterial material;
    material.baseColor.tint = platform::rgb(color.r, color.g, color.b);
    material.roughness = roughness;
    material.metallic = metallic;
    material.emissiveColor.color = color;
    material.emissiveIntensity = emissive;
    material.blending = blending;
    return material;
}

std::shared_ptr<platform::ModelEntity> EggMesh::segment(glm::vec3 a, glm::vec3 b, float radius,
                                                        const platform::Material& material, platform::Entity& parent)
{
    auto entity = attach(platform::MeshResource::generateCylinder(1.0F, radius), material, parent);
    const glm::vec3 d = b - a;
    const float length = glm::length(d);
    entity->setPosition((a + b) * 0.5F);
    entity->setScale({1.0F, length, 1.0F});
    if (length > 0.0F) {
        entity->setOrientation(glm::rotation(glm::vec3(0.0F, 1.0F, 0.0F), d / length));
    }
    return entity;
}

std::shared_ptr<platform::ModelEntity> EggMesh::sphere(glm::vec3 radii, glm::vec3 center,
                                                       const platform::Material& material, platform::Entity& parent)
{
    auto entity = attach(unitSphere(), material, parent);
    entity->setPosition(center);
    entity->setScale(radii);
    return entity;
}

glm::vec3 EggMesh::pumpkinSurface(glm::vec2 point)
{
    float z = -1.0F;
    bool covered = false;
    for (int k = 0; k < ribCount; ++k) {
        const float angle = glm::two_pi<float>() * static_cast<float>(k) / static_cast<float>(ribCount);
        const float xk = ribOffset * std::sin(angle);
        const float zk = ribOffset * std::cos(angle);
        const float dx = (point.x - xk) / ribHalfWidth;
        const float dy = point.y / ribHalfHeight;
        const float q = 1.0F - dx * dx - dy * dy;
        if (q >= 0.0F) {
            const float front = zk + ribHalfWidth * std::sqrt(q);
            z = covered ? std::max(z, front) : front;
            covered = true;
        }
    }
    return {point.x, point.y, z + carvingLift};
}

std::vector<std::array<std::uint32_t, 3>> EggMesh::clipEars(std::vector<glm::vec2>& outline)
{
    const std::size_t n = outline.size();
    if (n < 3) {
        throw platform::MeshError("pumpkin carving: an outline needs at least three points, not " + std::to_string(n));
    }
    float winding = 0.0F;
    for (std::size_t i = 0; i < n; ++i) {
        winding += cross2(outline[i], outline[(i + 1) % n]);
    }
    if (!(winding > 0.0F)) {
        std::reverse(outline.begin(), outline.end());
    }

    std::vector<std::uint32_t> remaining(n);
    std::iota(remaining.begin(), remaining.end(), 0U);
    std::vector<std::array<std::uint32_t, 3>> triangles;
    triangles.reserve(n - 2);
    while (remaining.size() > 3) {
        const std::size_t m = remaining.size();
        bool clipped = false;
        for (std::size_t i = 0; i < m && !clipped; ++i) {
            const std::uint32_t prev = remaining[(i + m - 1) % m];
            const std::uint32_t cur = remaining[i];
            const std::uint32_t next = remaining[(i + 1) % m];
            const glm::vec2 pp = outline[prev];
            const glm::vec2 pq = outline[cur];
            const glm::vec2 pn = outline[next];
            const float convex = (pq.x - pp.x) * (pn.y - pq.y) - (pq.y - pp.y) * (pn.x - pq.x);
            if (!(convex > 1e-7F)) {
                continue;
            }
            bool holdsPoint = false;
            for (const std::uint32_t other : remaining) {
                if (other == prev || other == cur || other == next) {
                    continue;
                }
                const glm::vec2 h = outline[other];
                if (cross2(pq - pp, h - pp) >= -1e-8F && cross2(pn - pq, h - pq) >= -1e-8F &&
                    cross2(pp - pn, h - pn) >= -1e-8F) {
                    holdsPoint = true;
                    break;
                }
            }
            if (holdsPoint) {
                continue;
            }
            triangles.push_back({prev, cur, next});
            remaining.erase(remaining.begin() + static_cast<std::ptrdiff_t>(i));
            clipped = true;
        }
        if (!clipped) {
            throw platform::MeshError("pumpkin carving: the outline has no ear (it crosses itself or is collinear)");
        }
    }
    triangles.push_back({remaining[0], remaining[1], remaining[2]});
    return triangles;
}

platform::MeshPtr EggMesh::pumpkinCarving(const std::vector<glm::vec2>& outline)
{
    std::vector<glm::vec2> points = outline;
    const auto ears = clipEars(points);
    std::vector<glm::vec3> positions;
    std::vector<std::uint32_t> indices;
    const std::size_t perEar = std::size_t{3} << (2 * carvingDepth);
    positions.reserve(ears.size() * perEar);
    indices.reserve(ears.size() * perEar);
    for (const auto& ear : ears) {
        subdivide(points[ear[0]], points[ear[1]], points[ear[2]], carvingDepth, positions, indices);
    }
    return mesh("Surface fitted pumpkin carving", positions, indices);
}

std::vector<glm::vec2> EggMesh::outline(float width, float height, float radius, float lift)
{
    const float h = width * 0.5F;
    const float r = radius;
    struct Arc {
        glm::vec2 centre;
        float start;
    };
    const std::array<Arc, 4> arcs{{{{h - r, height - r}, 0.0F},
                                   {{r - h, height - r}, glm::half_pi<float>()},
                                   {{r - h, r}, glm::pi<float>()},
                                   {{h - r, r}, 3.0F * glm::half_pi<float>()}}};
    std::vector<glm::vec2> points;
    points.reserve(outlinePoints);
    for (const Arc& arc : arcs) {
        for (int j = 0; j <= 16; ++j) {
            const float theta = arc.start + static_cast<float>(j) * glm::half_pi<float>() / 16.0F;
            points.emplace_back(arc.centre.x + r * std::cos(theta), lift + arc.centre.y + r * std::sin(theta));
        }
    }
    return points;
}

std::shared_ptr<platform::ModelEntity> EggMesh::surface(const std::string& name, const std::vector<Ring>& rings,
                                                        bool reversed, const platform::Material& material,
                                                        platform::Entity& parent)
{
    const std::size_t e = rings.empty() ? 0 : rings.front().outline.size();
    std::vector<glm::vec3> positions;
    positions.reserve(rings.size() * e);
    for (const Ring& ring : rings) {
        if (ring.outline.size() != e) {
            throw platform::MeshError("surface \"" + name + "\": rings of different lengths");
        }
        for (const glm::vec2 p : ring.outline) {
            positions.emplace_back(p.x, p.y, ring.z);
        }
    }
    std::vector<std::uint32_t> indices;
    indices.reserve(rings.size() > 1 ? (rings.size() - 1) * e * 6 : 0);
    for (std::size_t i = 0; i + 1 < rings.size(); ++i) {
        for (std::size_t j = 1; j <= e; ++j) {
            const auto a = static_cast<std::uint32_t>(i * e + (j - 1));
            const auto b = static_cast<std::uint32_t>(i * e + j % e);
            const auto c = static_cast<std::uint32_t>((i + 1) * e + j % e);
            const auto d = static_cast<std::uint32_t>((i + 1) * e + (j - 1));
            if (reversed) {
                indices.insert(indices.end(), {a, c, b, a, d, c});
            } else {
                indices.insert(indices.end(), {a, b, c, a, c, d});
            }
        }
    }
    return model(mesh(name, positions, indices), material, {0.0F, 0.07F, 0.0F}, parent);
}

void EggMesh::chargerHousing(const platform::Material& shell, const platform::Material& red, platform::Entity& parent)
{
    const auto o0 = outline(0.64F, 1.34F, 0.14F, 0.0F);
    const auto o1 = outline(0.6F, 1.3F, 0.12F, 0.02F);
    const auto o2 = outline(0.46F, 1.0F, 0.12F, 0.17F);
    const auto o3 = outline(0.34F, 0.88F, 0.085F, 0.23F);
    for (const float g : {1.0F, -1.0F}) {
        const bool reversed = g < 0.0F;
        surface("White housing bevel", {{o0, 0.085F * g}, {o1, 0.115F * g}}, reversed, shell, parent);
        surface("White housing face", {{o1, 0.115F * g}, {o2, 0.115F * g}}, reversed, shell, parent);
        surface("Continuous red inner rim", {{o2, 0.115F * g}, {o3, 0.09F * g}}, reversed, red, parent);
    }
    surface("White outer wall", {{o0, -0.085F}, {o0, 0.085F}}, false, shell, parent);
    surface("Red inner tunnel", {{o3, 0.09F}, {o3, -0.09F}}, false, red, parent);
}

} // namespace gloam
