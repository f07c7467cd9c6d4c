#include "platform/gpu/GpuTexture.h"

#include "platform/gpu/GpuDevice.h"
#include "platform/gpu/GpuError.h"

#include <epoxy/gl.h>

#include <string>

namespace gloam::gpu {

unsigned glInternalFormat(PixelFormat format)
{
    switch (format) {
    case PixelFormat::rgba16Float:
        return GL_RGBA16F;
    case PixelFormat::r8Unorm:
        return GL_R8;
    case PixelFormat::rgba8Unorm:
        return GL_RGBA8;
    case PixelFormat::depth32Float:
        return GL_DEPTH_COMPONENT32F;
    }
    return GL_RGBA16F;
}

size_t bytesPerTexel(PixelFormat format)
{
    switch (format) {
    case PixelFormat::rgba16Float:
        return 8;
    case PixelFormat::r8Unorm:
        return 1;
    case PixelFormat::rgba8Unorm:
        return 4;
    case PixelFormat::depth32Float:
        return 4;
    }
    return 8;
}

GpuTexture::GpuTexture(std::shared_ptr<GpuDevice> device, const TextureDescriptor& descriptor)
    : device_(std::move(device))
    , descriptor_(descriptor)
{
    const bool is3D = descriptor.kind == TextureKind::texture3D;
    GLint limit = 0;
    glGetIntegerv(is3D ? GL_MAX_3D_TEXTURE_SIZE : GL_MAX_TEXTURE_SIZE, &limit);
    auto fits = [limit](int size) { return size >= 1 && size <= limit; };
    if (!fits(descriptor.width) || !fits(descriptor.height) || (is3D && !fits(descriptor.depth))) {
        throw GpuError(GpuError::textureDomain, GpuError::textureRefused,
                       "A texture of " + std::to_string(descriptor.width) + "×" + std::to_string(descriptor.height) +
                           (is3D ? "×" + std::to_string(descriptor.depth) : std::string()) + " cannot be made.");
    }
    if (!is3D)
        descriptor_.depth = 1;
    glGetError();
    glCreateTextures(is3D ? GL_TEXTURE_3D : GL_TEXTURE_2D, 1, &name_);
    if (is3D) {
        glTextureStorage3D(name_, 1, glInternalFormat(descriptor.format), descriptor.width, descriptor.height,
                           descriptor.depth);
    } else {
        glTextureStorage2D(name_, 1, glInternalFormat(descriptor.format), descriptor.width, descriptor.height);
    }
    if (glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &name_);
        throw GpuError(GpuError::textureDomain, GpuError::textureRefused,
                       std::string("The texture “") + descriptor.label + "” cannot be made.");
    }
    const GLint filter = descriptor.format == PixelFormat::depth32Float ? GL_NEAREST : GL_LINEAR;
    glTextureParameteri(name_, GL_TEXTURE_MIN_FILTER, filter);
    glTextureParameteri(name_, GL_TEXTURE_MAG_FILTER, filter);
    glTextureParameteri(name_, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTextureParameteri(name_, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTextureParameteri(name_, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
    glObjectLabel(GL_TEXTURE, name_, -1, descriptor.label);
}

std::shared_ptr<GpuTexture> GpuTexture::wrap(std::shared_ptr<GpuDevice> device, unsigned glName,
                                             const TextureDescriptor& descriptor)
{
    auto texture = std::shared_ptr<GpuTexture>(new GpuTexture());
    texture->device_ = std::move(device);
    texture->descriptor_ = descriptor;
    texture->name_ = glName;
    texture->owned_ = false;
    return texture;
}

GpuTexture::~GpuTexture()
{
    if (!owned_ || name_ == 0)
        return;
    unsigned name = name_;
    device_->performLater([name] { glDeleteTextures(1, &name); });
}

void GpuTexture::replace(const std::uint8_t* bytes, size_t length, size_t bytesPerRow, size_t bytesPerImage)
{
    const size_t texel = bytesPerTexel(descriptor_.format);
    const auto w = static_cast<size_t>(descriptor_.width);
    const auto h = static_cast<size_t>(descriptor_.height);
    const auto d = static_cast<size_t>(descriptor_.depth);
    if (bytesPerRow < w * texel || bytesPerRow % texel != 0 || bytesPerImage < bytesPerRow * h ||
        bytesPerImage % bytesPerRow != 0 || bytes == nullptr ||
        length < bytesPerImage * (d - 1) + bytesPerRow * (h - 1) + w * texel) {
        throw GpuError(GpuError::textureDomain, GpuError::uploadMismatch,
                       std::string("The bytes given do not cover the texture “") + descriptor_.label + "”.");
    }
    GLenum format = GL_RGBA, type = GL_UNSIGNED_BYTE;
    switch (descriptor_.format) {
    case PixelFormat::rgba16Float:
        type = GL_HALF_FLOAT;
        break;
    case PixelFormat::r8Unorm:
        format = GL_RED;
        break;
    case PixelFormat::rgba8Unorm:
        break;
    case PixelFormat::depth32Float:
        format = GL_DEPTH_COMPONENT;
        type = GL_FLOAT;
        break;
    }
    device_->perform([&] {
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(bytesPerRow / texel));
        glPixelStorei(GL_UNPACK_IMAGE_HEIGHT, static_cast<GLint>(bytesPerImage / bytesPerRow));
        if (descriptor_.kind == TextureKind::texture3D) {
            glTextureSubImage3D(name_, 0, 0, 0, 0, descriptor_.width, descriptor_.height, descriptor_.depth, format,
                                type, bytes);
        } else {
            glTextureSubImage2D(name_, 0, 0, 0, descriptor_.width, descriptor_.height, format, type, bytes);
        }
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glPixelStorei(GL_UNPACK_IMAGE_HEIGHT, 0);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    });
}

std::vector<float> GpuTexture::readFloats() const
{
    const size_t count = static_cast<size_t>(descriptor_.width) * static_cast<size_t>(descriptor_.height) *
                         static_cast<size_t>(descriptor_.depth);
    std::vector<float> values(count * 4, 0.0f);
    glMemoryBarrier(GL_ALL_BARRIER_BITS);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    if (descriptor_.format == PixelFormat::depth32Float || descriptor_.format == PixelFormat::r8Unorm) {
        std::vector<float> single(count);
        glGetTextureImage(name_, 0, descriptor_.format == PixelFormat::depth32Float ? GL_DEPTH_COMPONENT : GL_RED,
                          GL_FLOAT, static_cast<GLsizei>(single.size() * sizeof(float)), single.data());
        for (size_t i = 0; i < count; ++i)
            values[i * 4] = single[i];
    } else {
        glGetTextureImage(name_, 0, GL_RGBA, GL_FLOAT, static_cast<GLsizei>(values.size() * sizeof(float)),
                          values.data());
    }
    return values;
}

} // namespace gloam::gpu
