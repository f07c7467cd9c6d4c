#include "platform/render/OffscreenTarget.h"

#include <epoxy/gl.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

namespace gloam::render {

OffscreenTarget::OffscreenTarget(int width, int height)
    : width_(width)
    , height_(height)
{
    glCreateTextures(GL_TEXTURE_2D, 1, &color_);
    glTextureStorage2D(color_, 1, GL_RGBA8, width, height);
    glCreateFramebuffers(1, &framebuffer_);
    glNamedFramebufferTexture(framebuffer_, GL_COLOR_ATTACHMENT0, color_, 0);
    const GLenum status = glCheckNamedFramebufferStatus(framebuffer_, GL_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        glDeleteFramebuffers(1, &framebuffer_);
        glDeleteTextures(1, &color_);
        char code[16];
        std::snprintf(code, sizeof code, "0x%04X", status);
        throw std::runtime_error("An off-screen target of " + std::to_string(width) + " × " + std::to_string(height) +
                                 " pixels cannot be made (framebuffer status " + code + ").");
    }
}

OffscreenTarget::~OffscreenTarget()
{
    glDeleteFramebuffers(1, &framebuffer_);
    glDeleteTextures(1, &color_);
}

std::vector<std::uint8_t> OffscreenTarget::readPixels() const
{
    const size_t row = static_cast<size_t>(width_) * 4;
    std::vector<std::uint8_t> upsideDown(row * static_cast<size_t>(height_));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTextureImage(color_, 0, GL_RGBA, GL_UNSIGNED_BYTE, static_cast<GLsizei>(upsideDown.size()), upsideDown.data());
    std::vector<std::uint8_t> pixels(upsideDown.size());
    for (int y = 0; y < height_; ++y) {
        std::memcpy(pixels.data() + static_cast<size_t>(y) * row,
                    upsideDown.data() + static_cast<size_t>(height_ - 1 - y) * row, row);
    }
    return pixels;
}

} // namespace gloam::render
