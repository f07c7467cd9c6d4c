#include "platform/mesh/MeshResource.h"

#include "platform/mesh/MeshError.h"

#include <glm/geometric.hpp>

#include <atomic>
#include <cmath>
#include <string>

namespace gloam::platform {

namespace {

std::uint64_t nextMeshId()
{
    static std::atomic<std::uint64_t> counter{0};
    return ++counter;
}

std::atomic<long> liveMeshes{0};

std::string label(const MeshDescriptor& d, std::size_t index)
{
    return d.name.empty() ? "mesh part " + std::to_string(index) : "mesh \"" + d.name + "\"";
}

void check(const MeshDescriptor& d, std::size_t index)
{
    const std::string what = label(d, index);
    const std::size_t n = d.positions.size();
    if (n == 0) {
        throw MeshError(what + " has no positions");
    }
    if (d.indices.empty()) {
        throw MeshError(what + " has no triangles");
    }
    if (d.indices.size() % 3 != 0) {
        throw MeshError(what + " has " + std::to_string(d.indices.size()) + " indices, not a multiple of three");
    }
    auto sameCount = [&](std::size_t count, const char* array) {
        if (count != 0 && count != n) {
            throw MeshError(what + " has " + std::to_string(count) + " " + array + " for " + std::to_string(n) +
                            " positions");
        }
    };
    sameCount(d.normals.size(), "normals");
    sameCount(d.textureCoordinates.size(), "texture coordinates");
    sameCount(d.tangents.size(), "tangents");
    sameCount(d.jointIndices.size(), "joint index sets");
    sameCount(d.jointWeights.size(), "joint weight sets");
    if (d.jointIndices.size() != d.jointWeights.size()) {
        throw MeshError(what + " has joint indices and weights of different counts");
    }
    for (std::size_t i = 0; i < d.indices.size(); ++i) {
        if (d.indices[i] >= n) {
            throw MeshError(what + ": index " + std::to_string(d.indices[i]) + " at " + std::to_string(i) +
                            " is out of range for " + std::to_string(n) + " vertices");
        }
    }
    for (const auto& p : d.positions) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
            throw MeshError(what + " has a position that is not a finite number");
        }
    }
}

// Area-weighted vertex normals; vertices that touch no triangle get +y.
std::vector<glm::vec3> smoothNormals(const std::vector<glm::vec3>& positions, const std::vector<std::uint32_t>& indices)
{
    std::vector<glm::vec3> normals(positions.size(), glm::vec3(0.0f));
    for (std::size_t i = 0; i + 2 < indices.size(); i += 3) {
        const auto a = indices[i], b = indices[i + 1], c = indices[i + 2];
        const glm::vec3 n = glm::cross(positions[b] - positions[a], positions[c] - positions[a]);
        normals[a] += n;
        normals[b] += n;
        normals[c] += n;
    }
    for (auto& n : normals) {
        const float length = glm::length(n);
        n = length > 0.0f ? n / length : glm::vec3(0, 1, 0);
    }
    return normals;
}

// Tangents from texture coordinates (per-vertex sum over triangles,
// Gram-Schmidt against the normal).
std::vector<glm::vec4> makeTangents(const MeshResource::Part& p)
{
    const std::size_t n = p.positions.size();
    std::vector<glm::vec3> tan(n, glm::vec3(0.0f)), bit(n, glm::vec3(0.0f));
    for (std::size_t i = 0; i + 2 < p.indices.size(); i += 3) {
        const auto a = p.indices[i], b = p.indices[i + 1], c = p.indices[i + 2];
        const glm::vec3 e1 = p.positions[b] - p.positions[a];
        const glm::vec3 e2 = p.positions[c] - p.positions[a];
        const glm::vec2 d1 = p.textureCoordinates[b] - p.textureCoordinates[a];
        const glm::vec2 d2 = p.textureCoordinates[c] - p.textureCoordinates[a];
        const float det = d1.x * d2.y - d2.x * d1.y;
        if (std::abs(det) < 1e-12f) {
            continue;
        }
        const float r = 1.0f / det;
        const glm::vec3 t = (e1 * d2.y - e2 * d1.y) * r;
        const glm::vec3 bt = (e2 * d1.x - e1 * d2.x) * r;
        for (auto v : {a, b, c}) {
            tan[v] += t;
            bit[v] += bt;
        }
    }
    std::vector<glm::vec4> out(n);
    for (std::size_t v = 0; v < n; ++v) {
        const glm::vec3& nv = p.normals[v];
        glm::vec3 t = tan[v] - nv * glm::dot(nv, tan[v]);
        if (glm::dot(t, t) < 1e-20f) {
            // No usable texture direction: any tangent perpendicular to the normal.
            t = glm::cross(std::abs(nv.y) < 0.99f ? glm::vec3(0, 1, 0) : glm::vec3(1, 0, 0), nv);
        }
        t = glm::normalize(t);
        const float w = glm::dot(glm::cross(nv, t), bit[v]) < 0.0f ? -1.0f : 1.0f;
        out[v] = glm::vec4(t, w);
    }
    return out;
}

} // namespace

MeshPtr MeshResource::generate(MeshDescriptor descriptor)
{
    std::string name = descriptor.name;
    std::vector<MeshDescriptor> list;
    list.push_back(std::move(descriptor));
    return generate(std::move(list), std::move(name));
}

MeshPtr MeshResource::generate(std::vector<MeshDescriptor> descriptors, std::string name)
{
    if (descriptors.empty()) {
        throw MeshError((name.empty() ? std::string("mesh") : "mesh \"" + name + "\"") + " has no parts");
    }
    std::vector<Part> parts;
    parts.reserve(descriptors.size());
    for (std::size_t i = 0; i < descriptors.size(); ++i) {
        auto& d = descriptors[i];
        check(d, i);
        Part p;
        p.name = std::move(d.name);
        p.materialIndex = d.materialIndex;
        p.positions = std::move(d.positions);
        p.indices = std::move(d.indices);
        p.normals = d.normals.empty() ? smoothNormals(p.positions, p.indices) : std::move(d.normals);
        const bool hadUvs = !d.textureCoordinates.empty();
        p.textureCoordinates =
            hadUvs ? std::move(d.textureCoordinates) : std::vector<glm::vec2>(p.positions.size(), glm::vec2(0.0f));
        p.jointIndices = std::move(d.jointIndices);
        p.jointWeights = std::move(d.jointWeights);
        if (!d.tangents.empty()) {
            p.tangents = std::move(d.tangents);
        } else {
            p.tangents = makeTangents(p);
        }
        for (const auto& pos : p.positions) {
            p.bounds.add(pos);
        }
        parts.push_back(std::move(p));
    }
    return MeshPtr(new MeshResource(std::move(name), std::move(parts)));
}

MeshResource::MeshResource(std::string name, std::vector<Part> parts)
    : id_(nextMeshId())
    , name_(std::move(name))
    , parts_(std::move(parts))
{
    for (const auto& p : parts_) {
        bounds_.add(p.bounds);
    }
    liveMeshes.fetch_add(1, std::memory_order_relaxed);
}

MeshResource::~MeshResource()
{
    liveMeshes.fetch_sub(1, std::memory_order_relaxed);
}

long MeshResource::liveCount()
{
    return liveMeshes.load(std::memory_order_relaxed);
}

std::size_t MeshResource::triangleCount() const
{
    std::size_t total = 0;
    for (const auto& p : parts_) {
        total += p.triangleCount();
    }
    return total;
}

} // namespace gloam::platform
