#pragma once

#include <glm/mat4x4.hpp>

#include <cstdint>

namespace gloam::platform {

// What the renderer hands the post-process callback each frame, on the
// render thread, with its GL context current: the rendered colour and depth
// (GL texture names), the texture to write the finished frame to, their
// size in pixels and the frame's projection matrix. The callback must write
// the whole target.
struct PostProcessContext {
    std::uint32_t sourceColorTexture = 0;
    std::uint32_t sourceDepthTexture = 0;
    std::uint32_t targetColorTexture = 0;
    int width = 0;
    int height = 0;
    glm::mat4 projection{1.0f};
    double time = 0.0; // seconds since the renderer started
};

} // namespace gloam::platform
