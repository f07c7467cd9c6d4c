#pragma once

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>
#include <glm/vec4.hpp>
#include <glm/gtc/type_precision.hpp>

#include <cstdint>
#include <memory>
#include <vector>

namespace gloam::render {

// One drawable triangle list with its vertex streams. Normals, texture
// coordinates and tangents are optional (defaults: +Y, (0, 0), tangents
// derived per pixel); joints and weights make it skinned. Texture
// coordinates count up from the bottom of a picture (v = 1 is its top row). Immutable once
// shared; uploaded once per `id`.
struct MeshData {
    std::uint64_t id = 0;
    std::vector<glm::vec3> positions;
    std::vector<glm::vec3> normals;
    std::vector<glm::vec2> textureCoordinates;
    std::vector<glm::vec4> tangents; // xyz tangent, w handedness of the bitangent
    std::vector<std::uint32_t> indices;
    std::vector<glm::u16vec4> jointIndices;
    std::vector<glm::vec4> jointWeights;
    glm::vec3 boundsMin{0.0f};
    glm::vec3 boundsMax{0.0f};

    bool isSkinned() const { return !jointIndices.empty() && jointWeights.size() == jointIndices.size(); }
    // Sets `id` (when 0) and the bounds from the positions.
    void finish();
};

using MeshPtr = std::shared_ptr<const MeshData>;

} // namespace gloam::render
