#pragma once

#include <glm/mat4x4.hpp>
#include <glm/vec4.hpp>

#include <cstddef>

namespace gloam {

// The record both post-process kernels read as uniform block 0, passed by
// value with each pass (std140: two column-major matrices, two vectors,
// 160 bytes, no padding).
//
// In GLSL:
//
//     layout(std140, binding = 0) uniform FogUniforms {
//         mat4 inverseProjection;  // clip space to camera space, this frame
//         mat4 cameraWorld;        // camera to world
//         vec4 atmosphere;         // x time (s), y lightning flash, z pumpkin glow, w hover
//         vec4 presentation;       // x scene visibility 0..1; y, z, w 0
//     };
struct FogUniforms {
    glm::mat4 inverseProjection{1.0f};
    glm::mat4 cameraWorld{1.0f};
    glm::vec4 atmosphere{0.0f};
    glm::vec4 presentation{0.0f};
};

static_assert(sizeof(FogUniforms) == 160);
static_assert(offsetof(FogUniforms, inverseProjection) == 0);
static_assert(offsetof(FogUniforms, cameraWorld) == 64);
static_assert(offsetof(FogUniforms, atmosphere) == 128);
static_assert(offsetof(FogUniforms, presentation) == 144);

} // namespace gloam
