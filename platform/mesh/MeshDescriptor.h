#pragma once

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace gloam::platform {

// The data of one mesh part, as given to `MeshResource::generate`: every
// per-vertex array is empty or as long as `positions`; `indices` are
// triangles (three per face) into those arrays. Texture coordinates have
// their origin at the bottom left of the image: v = 0 is the image's bottom
// row, v = 1 its top row (the model loader turns glTF's top-left v round).
struct MeshDescriptor {
    std::string name;
    std::vector<glm::vec3> positions;
    std::vector<glm::vec3> normals;
    std::vector<glm::vec2> textureCoordinates;
    std::vector<glm::vec4> tangents; // xyz tangent, w = handedness of the bitangent
    std::vector<std::uint32_t> indices;
    // Skinning: four joints per vertex (indices into the skin's joint list)
    // and their weights.
    std::vector<glm::u16vec4> jointIndices;
    std::vector<glm::vec4> jointWeights;
    // Which entry of the model's material list draws this part.
    std::uint32_t materialIndex = 0;
};

} // namespace gloam::platform
