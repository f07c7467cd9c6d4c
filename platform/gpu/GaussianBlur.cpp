#include "platform/gpu/GaussianBlur.h"

#include "platform/gpu/CommandBuffer.h"
#include "platform/gpu/GlProgram.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/gpu/GpuTexture.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace gloam::gpu {

namespace {

constexpr int maxRadius = 127;

const char* blurSource = R"(#version 450 core
layout(local_size_x = 8, local_size_y = 8) in;
layout(binding = 0) uniform sampler2D source;
layout(binding = 1, rgba16f) writeonly uniform image2D destination;
layout(std140, binding = 0) uniform BlurParameters {
    ivec4 info;          // x: radius, y: 1 horizontal / 0 vertical
    vec4 weights[33];    // weights[i / 4][i % 4] for offset i
};
float weightAt(int i) { return weights[i >> 2][i & 3]; }
void main() {
    ivec2 size = textureSize(source, 0);
    ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    if (p.x >= size.x || p.y >= size.y) return;
    ivec2 step = info.y == 1 ? ivec2(1, 0) : ivec2(0, 1);
    ivec2 last = size - 1;
    vec4 sum = texelFetch(source, p, 0) * weightAt(0);
    for (int i = 1; i <= info.x; ++i) {
        sum += weightAt(i) * (texelFetch(source, clamp(p + step * i, ivec2(0), last), 0) +
                              texelFetch(source, clamp(p - step * i, ivec2(0), last), 0));
    }
    imageStore(destination, p, sum);
}
)";

// One texel per destination pixel, sampled bilinearly at its centre: at
// half size each destination texel averages 2 × 2 source texels; at double
// size it interpolates between them.
const char* resampleSource = R"(#version 450 core
layout(local_size_x = 8, local_size_y = 8) in;
layout(binding = 0) uniform sampler2D source;
layout(binding = 1, rgba16f) writeonly uniform image2D destination;
void main() {
    ivec2 size = imageSize(destination);
    ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    if (p.x >= size.x || p.y >= size.y) return;
    imageStore(destination, p, textureLod(source, (vec2(p) + 0.5) / vec2(size), 0.0));
}
)";

struct Parameters {
    int info[4];
    float weights[132];
};

} // namespace

GaussianBlur::GaussianBlur(std::shared_ptr<GpuDevice> device, float sigma, Size size)
    : device_(std::move(device))
    , sigma_(std::max(sigma, 0.0f))
    , size_(size)
{
    // In texels of the image the passes run on.
    const float passSigma = size_ == Size::half ? sigma_ * 0.5f : sigma_;
    radius_ = passSigma <= 0.0f ? 0 : std::min(maxRadius, static_cast<int>(std::ceil(3.0f * passSigma)));
    double total = 0.0;
    for (int i = 0; i <= radius_; ++i) {
        double w = passSigma <= 0.0f ? 1.0 : std::exp(-double(i) * i / (2.0 * double(passSigma) * passSigma));
        weights_[i] = static_cast<float>(w);
        total += i == 0 ? w : 2.0 * w;
    }
    for (int i = 0; i <= radius_; ++i)
        weights_[i] = static_cast<float>(weights_[i] / total);
}

GaussianBlur::~GaussianBlur() = default;

void GaussianBlur::encode(CommandBuffer& buffer, const GpuTexture& source, const GpuTexture& destination)
{
    (void)buffer;
    if (size_ == Size::full) {
        blur(source, destination);
        return;
    }
    const int width = std::max(1, (source.width() + 1) / 2);
    const int height = std::max(1, (source.height() + 1) / 2);
    if (!halfSource_ || halfSource_->width() != width || halfSource_->height() != height) {
        halfSource_ = device_->makeTexture(
            {TextureKind::texture2D, PixelFormat::rgba16Float, width, height, 1, "blur half-size source"});
        halfBlurred_ = device_->makeTexture(
            {TextureKind::texture2D, PixelFormat::rgba16Float, width, height, 1, "blur half-size result"});
    }
    resample(source, *halfSource_);
    blur(*halfSource_, *halfBlurred_);
    resample(*halfBlurred_, destination);
}

void GaussianBlur::resample(const GpuTexture& source, const GpuTexture& destination)
{
    const GlProgram& program = device_->cachedProgram("gloam.resample", [] {
        return GlProgram("resample", {{GL_COMPUTE_SHADER, resampleSource}});
    });
    glUseProgram(program.id());
    glBindTextureUnit(0, source.glName());
    glBindImageTexture(1, destination.glName(), 0, GL_FALSE, 0, GL_WRITE_ONLY, GL_RGBA16F);
    glMemoryBarrier(GL_ALL_BARRIER_BITS);
    glDispatchCompute(static_cast<GLuint>(destination.width() + 7) / 8,
                      static_cast<GLuint>(destination.height() + 7) / 8, 1);
    glMemoryBarrier(GL_ALL_BARRIER_BITS);
    glUseProgram(0);
}

void GaussianBlur::blur(const GpuTexture& source, const GpuTexture& destination)
{
    if (!intermediate_ || intermediate_->width() != source.width() || intermediate_->height() != source.height()) {
        intermediate_ = device_->makeTexture({TextureKind::texture2D, PixelFormat::rgba16Float, source.width(),
                                              source.height(), 1, "blur intermediate"});
    }
    const GlProgram& program = device_->cachedProgram("gloam.gaussianBlur", [] {
        return GlProgram("gaussian blur", {{GL_COMPUTE_SHADER, blurSource}});
    });
    glUseProgram(program.id());
    Parameters parameters{};
    parameters.info[0] = radius_;
    std::memcpy(parameters.weights, weights_, sizeof weights_);
    auto pass = [&](const GpuTexture& from, const GpuTexture& to, int horizontal) {
        parameters.info[1] = horizontal;
        device_->bindUniformBytes(0, &parameters, sizeof parameters);
        glBindTextureUnit(0, from.glName());
        glBindImageTexture(1, to.glName(), 0, GL_FALSE, 0, GL_WRITE_ONLY, GL_RGBA16F);
        glMemoryBarrier(GL_ALL_BARRIER_BITS);
        glDispatchCompute(static_cast<GLuint>(source.width() + 7) / 8, static_cast<GLuint>(source.height() + 7) / 8, 1);
    };
    pass(source, *intermediate_, 1);
    pass(*intermediate_, destination, 0);
    glMemoryBarrier(GL_ALL_BARRIER_BITS);
    glUseProgram(0);
}

} // namespace gloam::gpu
