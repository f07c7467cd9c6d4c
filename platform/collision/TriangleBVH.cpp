#include "platform/collision/TriangleBVH.h"

#include "platform/mesh/MeshResource.h"

#include <glm/common.hpp>
#include <glm/geometric.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace gloam::platform {

namespace {

constexpr int binCount = 12;
constexpr std::uint32_t leafSize = 4;

float area(const BoundingBox& b)
{
    if (b.isEmpty()) {
        return 0.0f;
    }
    const glm::vec3 e = b.max - b.min;
    return 2.0f * (e.x * e.y + e.y * e.z + e.z * e.x);
}

// Slab test; returns the entry distance or +inf.
float hitBox(const BoundingBox& b, const glm::vec3& origin, const glm::vec3& inverseDirection, float maxDistance)
{
    const glm::vec3 t0 = (b.min - origin) * inverseDirection;
    const glm::vec3 t1 = (b.max - origin) * inverseDirection;
    const glm::vec3 lo = glm::min(t0, t1);
    const glm::vec3 hi = glm::max(t0, t1);
    const float enter = std::max({lo.x, lo.y, lo.z, 0.0f});
    const float leave = std::min({hi.x, hi.y, hi.z, maxDistance});
    return enter <= leave ? enter : std::numeric_limits<float>::infinity();
}

// Möller–Trumbore, both faces.
float hitTriangle(const Ray& ray, const glm::vec3& a, const glm::vec3& b, const glm::vec3& c)
{
    const glm::vec3 e1 = b - a;
    const glm::vec3 e2 = c - a;
    const glm::vec3 p = glm::cross(ray.direction, e2);
    const float det = glm::dot(e1, p);
    if (std::abs(det) < 1e-12f) {
        return -1.0f;
    }
    const float inv = 1.0f / det;
    const glm::vec3 s = ray.origin - a;
    const float u = glm::dot(s, p) * inv;
    if (u < 0.0f || u > 1.0f) {
        return -1.0f;
    }
    const glm::vec3 q = glm::cross(s, e1);
    const float v = glm::dot(ray.direction, q) * inv;
    if (v < 0.0f || u + v > 1.0f) {
        return -1.0f;
    }
    return glm::dot(e2, q) * inv;
}

} // namespace

TriangleBVH::TriangleBVH(std::vector<glm::vec3> corners)
    : corners_(std::move(corners))
{
    corners_.resize(corners_.size() / 3 * 3);
    build();
}

TriangleBVH TriangleBVH::fromMesh(const MeshResource& mesh)
{
    std::vector<glm::vec3> corners;
    corners.reserve(mesh.triangleCount() * 3);
    for (const auto& part : mesh.parts()) {
        for (auto index : part.indices) {
            corners.push_back(part.positions[index]);
        }
    }
    return TriangleBVH(std::move(corners));
}

const BoundingBox& TriangleBVH::bounds() const
{
    static const BoundingBox empty;
    return nodes_.empty() ? empty : nodes_.front().box;
}

void TriangleBVH::build()
{
    const auto count = static_cast<std::uint32_t>(corners_.size() / 3);
    nodes_.clear();
    if (count == 0) {
        return;
    }
    // Triangle order, boxes and centroids; triangles are reordered at the end.
    std::vector<std::uint32_t> order(count);
    std::vector<BoundingBox> boxes(count);
    std::vector<glm::vec3> centroids(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        order[i] = i;
        for (int k = 0; k < 3; ++k) {
            boxes[i].add(corners_[i * 3 + k]);
        }
        centroids[i] = boxes[i].center();
    }
    nodes_.reserve(2 * count / leafSize + 1);

    struct Pending {
        std::uint32_t node, first, count;
    };
    std::vector<Pending> stack;
    nodes_.push_back({});
    stack.push_back({0, 0, count});
    while (!stack.empty()) {
        const Pending job = stack.back();
        stack.pop_back();
        BoundingBox box, centroidBox;
        for (std::uint32_t i = job.first; i < job.first + job.count; ++i) {
            box.add(boxes[order[i]]);
            centroidBox.add(centroids[order[i]]);
        }
        nodes_[job.node].box = box;
        auto makeLeaf = [&] {
            nodes_[job.node].first = job.first;
            nodes_[job.node].count = job.count;
        };
        if (job.count <= leafSize) {
            makeLeaf();
            continue;
        }
        // Best binned SAH split over the three axes.
        const glm::vec3 extent = centroidBox.max - centroidBox.min;
        float bestCost = std::numeric_limits<float>::infinity();
        int bestAxis = -1;
        int bestSplit = 0;
        for (int axis = 0; axis < 3; ++axis) {
            if (extent[axis] <= 1e-12f) {
                continue;
            }
            std::array<BoundingBox, binCount> bins;
            std::array<std::uint32_t, binCount> counts{};
            const float scale = binCount / extent[axis];
            for (std::uint32_t i = job.first; i < job.first + job.count; ++i) {
                const auto t = order[i];
                const int b =
                    std::min(binCount - 1, static_cast<int>((centroids[t][axis] - centroidBox.min[axis]) * scale));
                bins[static_cast<std::size_t>(b)].add(boxes[t]);
                counts[static_cast<std::size_t>(b)] += 1;
            }
            std::array<float, binCount> rightCost{};
            BoundingBox acc;
            std::uint32_t n = 0;
            for (int b = binCount - 1; b > 0; --b) {
                acc.add(bins[static_cast<std::size_t>(b)]);
                n += counts[static_cast<std::size_t>(b)];
                rightCost[static_cast<std::size_t>(b)] = area(acc) * static_cast<float>(n);
            }
            acc = BoundingBox();
            n = 0;
            for (int b = 0; b < binCount - 1; ++b) {
                acc.add(bins[static_cast<std::size_t>(b)]);
                n += counts[static_cast<std::size_t>(b)];
                const float cost = area(acc) * static_cast<float>(n) + rightCost[static_cast<std::size_t>(b + 1)];
                if (n > 0 && n < job.count && cost < bestCost) {
                    bestCost = cost;
                    bestAxis = axis;
                    bestSplit = b;
                }
            }
        }
        std::uint32_t mid = 0;
        if (bestAxis >= 0) {
            const float scale = binCount / extent[bestAxis];
            auto* begin = order.data() + job.first;
            auto* split = std::partition(begin, begin + job.count, [&](std::uint32_t t) {
                const int b = std::min(binCount - 1,
                                       static_cast<int>((centroids[t][bestAxis] - centroidBox.min[bestAxis]) * scale));
                return b <= bestSplit;
            });
            mid = static_cast<std::uint32_t>(split - order.data());
        }
        if (bestAxis < 0 || mid == job.first || mid == job.first + job.count) {
            if (job.count <= 4 * leafSize) {
                makeLeaf();
                continue;
            }
            // All centroids together: split the list in half.
            mid = job.first + job.count / 2;
        }
        const auto left = static_cast<std::uint32_t>(nodes_.size());
        nodes_.push_back({});
        nodes_.push_back({});
        // Inner node: the left child follows at `left`, the right one after it.
        nodes_[job.node].first = left;
        nodes_[job.node].count = 0;
        stack.push_back({left, job.first, mid - job.first});
        stack.push_back({left + 1, mid, job.first + job.count - mid});
    }
    // Store triangles in leaf order so leaves address a contiguous range.
    std::vector<glm::vec3> sorted(corners_.size());
    for (std::uint32_t i = 0; i < count; ++i) {
        for (int k = 0; k < 3; ++k) {
            sorted[i * 3 + static_cast<std::uint32_t>(k)] = corners_[order[i] * 3 + static_cast<std::uint32_t>(k)];
        }
    }
    corners_ = std::move(sorted);
}

std::optional<TriangleBVH::Hit> TriangleBVH::intersect(const Ray& ray, float maxDistance) const
{
    if (nodes_.empty()) {
        return std::nullopt;
    }
    // A zero direction component becomes a tiny one: 0 × ∞ in the slab test
    // would give NaN and lose hits on rays along an axis.
    auto safeInverse = [](float d) { return 1.0f / (d == 0.0f ? 1e-30f : d); };
    const glm::vec3 inverse(safeInverse(ray.direction.x), safeInverse(ray.direction.y), safeInverse(ray.direction.z));
    std::optional<Hit> best;
    float limit = maxDistance;
    if (hitBox(nodes_[0].box, ray.origin, inverse, limit) == std::numeric_limits<float>::infinity()) {
        return std::nullopt;
    }
    std::vector<std::uint32_t> stack;
    stack.reserve(64);
    stack.push_back(0);
    while (!stack.empty()) {
        const Node& node = nodes_[stack.back()];
        stack.pop_back();
        if (node.count > 0) {
            for (std::uint32_t i = node.first; i < node.first + node.count; ++i) {
                const float t = hitTriangle(ray, corners_[i * 3], corners_[i * 3 + 1], corners_[i * 3 + 2]);
                if (t >= 0.0f && t <= limit) {
                    limit = t;
                    best = Hit{t, i};
                }
            }
            continue;
        }
        const std::uint32_t l = node.first;
        const std::uint32_t r = node.first + 1;
        const float tl = hitBox(nodes_[l].box, ray.origin, inverse, limit);
        const float tr = hitBox(nodes_[r].box, ray.origin, inverse, limit);
        const float inf = std::numeric_limits<float>::infinity();
        // Nearer child on top of the stack.
        const std::uint32_t nearChild = tl <= tr ? l : r;
        const std::uint32_t farChild = tl <= tr ? r : l;
        if (std::max(tl, tr) != inf) {
            stack.push_back(farChild);
        }
        if (std::min(tl, tr) != inf) {
            stack.push_back(nearChild);
        }
    }
    return best;
}

} // namespace gloam::platform
