#include "platform/render/MeshChunks.h"

#include <glm/common.hpp>

#include <algorithm>
#include <limits>

namespace gloam::render {

namespace {

struct Splitter {
    const std::vector<glm::vec3>& positions;
    const std::vector<std::uint32_t>& indices;
    std::vector<glm::vec3> centres;
    std::size_t maxTriangles;
    MeshChunks result;

    void split(std::vector<std::uint32_t>::iterator begin, std::vector<std::uint32_t>::iterator end)
    {
        const auto count = static_cast<std::size_t>(end - begin);
        if (count == 0)
            return;
        glm::vec3 low(std::numeric_limits<float>::max()), high(std::numeric_limits<float>::lowest());
        for (auto t = begin; t != end; ++t) {
            low = glm::min(low, centres[*t]);
            high = glm::max(high, centres[*t]);
        }
        const glm::vec3 extent = high - low;
        if (count > maxTriangles && (extent.x > 0.0f || extent.y > 0.0f || extent.z > 0.0f)) {
            const int axis = extent.x >= extent.y && extent.x >= extent.z ? 0 : extent.y >= extent.z ? 1 : 2;
            const auto middle = begin + static_cast<std::ptrdiff_t>(count / 2);
            std::nth_element(begin, middle, end,
                             [&](std::uint32_t a, std::uint32_t b) { return centres[a][axis] < centres[b][axis]; });
            split(begin, middle);
            split(middle, end);
            return;
        }
        MeshChunks::Chunk chunk;
        chunk.firstIndex = static_cast<int>(result.indices.size());
        chunk.boundsMin = glm::vec3(std::numeric_limits<float>::max());
        chunk.boundsMax = glm::vec3(std::numeric_limits<float>::lowest());
        for (auto t = begin; t != end; ++t) {
            for (int corner = 0; corner < 3; ++corner) {
                const std::uint32_t index = indices[*t * 3 + static_cast<std::size_t>(corner)];
                result.indices.push_back(index);
                chunk.boundsMin = glm::min(chunk.boundsMin, positions[index]);
                chunk.boundsMax = glm::max(chunk.boundsMax, positions[index]);
            }
        }
        chunk.indexCount = static_cast<int>(result.indices.size()) - chunk.firstIndex;
        result.chunks.push_back(chunk);
    }
};

} // namespace

MeshChunks MeshChunks::split(const std::vector<glm::vec3>& positions, const std::vector<std::uint32_t>& indices,
                             int maxTriangles)
{
    Splitter splitter{positions, indices, {}, static_cast<std::size_t>(std::max(maxTriangles, 1)), {}};
    const std::size_t triangles = indices.size() / 3;
    splitter.centres.reserve(triangles);
    std::vector<std::uint32_t> order(triangles);
    for (std::size_t t = 0; t < triangles; ++t) {
        splitter.centres.push_back(
            (positions[indices[3 * t]] + positions[indices[3 * t + 1]] + positions[indices[3 * t + 2]]) / 3.0f);
        order[t] = static_cast<std::uint32_t>(t);
    }
    splitter.result.indices.reserve(triangles * 3);
    splitter.split(order.begin(), order.end());
    return std::move(splitter.result);
}

} // namespace gloam::render
