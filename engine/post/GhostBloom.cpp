#include "engine/post/GhostBloom.h"

#include "engine/common/HalloweenResources.h"
#include "platform/gpu/CommandBuffer.h"
#include "platform/gpu/ComputeEncoder.h"
#include "platform/gpu/ComputePipeline.h"
#include "platform/gpu/GaussianBlur.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/gpu/GpuError.h"
#include "platform/gpu/GpuTexture.h"
#include "platform/gpu/ShaderLibrary.h"
#include "platform/render/PostProcessContext.h"
#include "resources/ResourceFiles.h"

#include <glm/matrix.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <system_error>
#include <vector>

namespace gloam {

namespace {

constexpr std::size_t fogRowBytes = resources::fogWidth;
constexpr std::size_t fogSliceBytes = fogRowBytes * resources::fogHeight;
constexpr std::size_t fogVolumeBytes = fogSliceBytes * resources::fogDepth;
static_assert(fogVolumeBytes == 1'048'576);

void printLine(const std::string& line)
{
    // One write per line: the render and main threads both log.
    const std::string text = line + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

std::vector<std::uint8_t> readWhole(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::error_code ignored;
    if (!in || std::filesystem::is_directory(file, ignored)) {
        const int error = !in && errno != 0 ? errno : (in ? EISDIR : ENOENT);
        throw std::system_error(error, std::generic_category(),
                                "The fog volume “" + file.filename().string() + "” could not be read");
    }
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        throw std::system_error(EIO, std::generic_category(),
                                "The fog volume “" + file.filename().string() + "” could not be read");
    }
    return bytes;
}

// One compute pass: the textures bound in order from 0, the fog's uniforms,
// a thread for each texel of `size`.
void encodePass(gpu::CommandBuffer& commands, const gpu::ComputePipeline& pipeline,
                std::initializer_list<const gpu::GpuTexture*> textures, const FogUniforms& uniforms,
                const gpu::GpuTexture& size)
{
    auto encoder = commands.makeComputeEncoder();
    encoder.setPipeline(pipeline);
    unsigned index = 0;
    for (const gpu::GpuTexture* texture : textures)
        encoder.setTexture(index++, *texture);
    encoder.setBytes(0, &uniforms, sizeof uniforms);
    encoder.dispatchThreads(static_cast<unsigned>(size.width()), static_cast<unsigned>(size.height()), 1);
    encoder.endEncoding();
}

} // namespace

std::shared_ptr<GhostBloom> GhostBloom::create(std::filesystem::path resources, LogSink log)
{
    return std::shared_ptr<GhostBloom>(new GhostBloom(std::move(resources), std::move(log)));
}

std::shared_ptr<GhostBloom> GhostBloom::create()
{
    return create(halloweenResources());
}

GhostBloom::GhostBloom(std::filesystem::path resources, LogSink log)
    : resources_(std::move(resources))
    , log_(log ? std::move(log) : LogSink(printLine))
{}

GhostBloom::~GhostBloom() = default;

GhostBloom::Pipelines GhostBloom::prepare(Vehicle vehicle, const std::filesystem::path& resources)
{
    auto device = gpu::GpuDevice::systemDefault(); // "HalloweenMetal" 1 when there is none
    const auto library = gpu::ShaderLibrary::load(resources / effects(vehicle));
    for (const char* kernel : {extractKernel, compositeKernel}) {
        if (!library.hasKernel(kernel)) {
            throw gpu::GpuError(gpu::GpuError::deviceDomain, gpu::GpuError::missingFunction,
                                "The shader library “" + library.name() + "” has no kernel “" + kernel + "”.");
        }
    }
    Pipelines pipelines;
    pipelines.extract = device->makeComputePipeline(library, extractKernel);
    pipelines.composite = device->makeComputePipeline(library, compositeKernel);
    // The quarter-size path is optional: without it every tier takes the
    // full-size one.
    if (library.hasKernel(quarterExtractKernel) && library.hasKernel(quarterMistKernel) &&
        library.hasKernel(quarterUpsampleKernel)) {
        pipelines.quarterExtract = device->makeComputePipeline(library, quarterExtractKernel);
        pipelines.quarterMist = device->makeComputePipeline(library, quarterMistKernel);
        pipelines.quarterUpsample = device->makeComputePipeline(library, quarterUpsampleKernel);
    }
    return pipelines;
}

GhostBloom::Pipelines GhostBloom::prepare(Vehicle vehicle)
{
    return prepare(vehicle, halloweenResources());
}

void GhostBloom::select(const Pipelines& pipelines)
{
    std::lock_guard lock(cameraLock_);
    pipelines_ = pipelines;
}

void GhostBloom::setCamera(const glm::mat4& cameraWorld)
{
    std::lock_guard lock(cameraLock_);
    cameraWorld_ = cameraWorld;
}

void GhostBloom::setAtmosphere(float time, float flash, float pumpkins, float hover)
{
    const glm::vec4 values(time, flash, pumpkins, hover);
    std::lock_guard lock(cameraLock_);
    atmosphere_ = values;
}

void GhostBloom::setSceneVisibility(float visibility)
{
    std::lock_guard lock(cameraLock_);
    sceneVisibility_ = visibility;
}

void GhostBloom::beginSceneWarmup()
{
    std::lock_guard lock(cameraLock_);
    warmupRemaining_ = warmupFrames;
}

bool GhostBloom::sceneWarmed() const
{
    std::lock_guard lock(cameraLock_);
    return warmupRemaining_ == 0;
}

int GhostBloom::warmupRemaining() const
{
    std::lock_guard lock(cameraLock_);
    return warmupRemaining_;
}

GhostBloom::SharedValues GhostBloom::sharedValues() const
{
    std::lock_guard lock(cameraLock_);
    return {cameraWorld_, atmosphere_, sceneVisibility_};
}

void GhostBloom::countCompletedFrame()
{
    std::lock_guard lock(cameraLock_);
    warmupRemaining_ = std::max(warmupRemaining_ - 1, 0);
}

float GhostBloom::blurSigma() const
{
    return blur_ ? blur_->sigma() : 0.0f;
}

void GhostBloom::log(const std::string& line) const
{
    log_(line);
}

void GhostBloom::copyUnmodified(const render::PostProcessContext& context)
{
    if (!context.commandBuffer || !context.sourceColorTexture || !context.targetColorTexture)
        return;
    context.commandBuffer->copy(*context.sourceColorTexture, *context.targetColorTexture);
}

void GhostBloom::process(const render::PostProcessContext& context)
{
    if (!context.device || !context.commandBuffer || !context.sourceColorTexture || !context.sourceDepthTexture ||
        !context.targetColorTexture) {
        copyUnmodified(context);
        return;
    }
    const gpu::GpuTexture& source = *context.sourceColorTexture;

    // Warm-up: this frame counts once its GPU work has completed; a failed
    // frame does not count, and is reported.
    int remaining = 0;
    {
        std::lock_guard lock(cameraLock_);
        remaining = warmupRemaining_;
    }
    context.commandBuffer->addCompletedHandler(
        [weak = weak_from_this(), counts = remaining > 0](gpu::CommandBufferStatus status) {
            auto self = weak.lock();
            if (!self)
                return;
            if (status == gpu::CommandBufferStatus::completed) {
                if (counts)
                    self->countCompletedFrame();
            } else {
                self->frameFailed();
            }
        });

    // Resources follow the frame's size (and the blur the quality tier).
    if (source.width() != width_ || source.height() != height_) {
        rebuild(context);
    } else if (blur_ && blur_->size() != blurSize(context)) {
        blur_ = std::make_unique<gpu::GaussianBlur>(context.device, blur_->sigma(), blurSize(context));
    }
    if (passesFailed_) { // the passes' GPU work failed at this size
        copyUnmodified(context);
        return;
    }

    Pipelines pipelines;
    {
        std::lock_guard lock(cameraLock_);
        pipelines = pipelines_;
    }
    const bool quarter = context.quarterSize && pipelines.hasQuarterPath();
    if (width_ == 0 || !pipelines.extract || !pipelines.composite || !blur_ || !quarterBlur_ || !fogMask_ ||
        !makeImages(*context.device, quarter)) {
        copyUnmodified(context);
        return;
    }

    const SharedValues shared = sharedValues();
    if (!(shared.sceneVisibility > 0.0f)) { // hidden, or not a number: show the scene as it is
        copyUnmodified(context);
        return;
    }

    FogUniforms uniforms;
    uniforms.inverseProjection = glm::inverse(context.projection);
    uniforms.cameraWorld = shared.cameraWorld;
    uniforms.atmosphere = shared.atmosphere;
    uniforms.presentation = glm::vec4(shared.sceneVisibility, 0.0f, 0.0f, 0.0f);

    if (quarter)
        encodeQuarter(context, pipelines, uniforms);
    else
        encodeFull(context, pipelines, uniforms);

    if (!reported_) {
        reported_ = true;
        log("E4 bloom active pixels=" + std::to_string(source.width()) + "x" + std::to_string(source.height()));
    }
}

void GhostBloom::encodeFull(const render::PostProcessContext& context, const Pipelines& pipelines,
                            const FogUniforms& uniforms)
{
    const gpu::GpuTexture& source = *context.sourceColorTexture;
    const gpu::GpuTexture& depth = *context.sourceDepthTexture;
    gpu::CommandBuffer& commands = *context.commandBuffer;
    encodePass(commands, *pipelines.extract, {&source, bright_.get(), &depth}, uniforms, source);
    blur_->encode(commands, *bright_, *blurred_);
    encodePass(commands, *pipelines.composite,
               {&source, blurred_.get(), &depth, fogMask_.get(), context.targetColorTexture.get()}, uniforms, source);
}

void GhostBloom::encodeQuarter(const render::PostProcessContext& context, const Pipelines& pipelines,
                               const FogUniforms& uniforms)
{
    const gpu::GpuTexture& source = *context.sourceColorTexture;
    const gpu::GpuTexture& depth = *context.sourceDepthTexture;
    gpu::CommandBuffer& commands = *context.commandBuffer;
    encodePass(commands, *pipelines.quarterExtract, {&source, quarterBright_.get()}, uniforms, *quarterBright_);
    quarterBlur_->encode(commands, *quarterBright_, *quarterBlurred_);
    encodePass(commands, *pipelines.quarterMist,
               {&source, quarterBlurred_.get(), &depth, fogMask_.get(), quarterMist_.get(), quarterMistDepth_.get()},
               uniforms, *quarterBright_);
    encodePass(commands, *pipelines.quarterUpsample,
               {&source, quarterMist_.get(), &depth, quarterMistDepth_.get(), context.targetColorTexture.get()},
               uniforms, source);
}

void GhostBloom::rebuild(const render::PostProcessContext& context)
{
    const gpu::GpuTexture& source = *context.sourceColorTexture;
    const int width = source.width();
    const int height = source.height();
    width_ = width;
    height_ = height;
    bright_.reset();
    blurred_.reset();
    quarterBright_.reset();
    quarterBlurred_.reset();
    quarterMist_.reset();
    quarterMistDepth_.reset();
    passesFailed_ = false;
    failedWidth_ = 0;
    failedHeight_ = 0;

    if (!fogMask_) {
        try {
            loadFogVolume(*context.device);
            log("E4 volumetric fog active 128x64x128 r8");
        } catch (const std::exception& error) {
            fogMask_.reset();
            log(std::string("E4 BLOOM FAILED ") + error.what());
        }
    }

    // Sigma 9 at a frame width of 2400 pixels; half that on the quarter
    // copy, whose texels are two pixels wide.
    const float sigma = static_cast<float>(width) * 9.0f / 2400.0f;
    blur_ = std::make_unique<gpu::GaussianBlur>(context.device, sigma, blurSize(context));
    quarterBlur_ = std::make_unique<gpu::GaussianBlur>(context.device, sigma * 0.5f);
}

bool GhostBloom::makeImages(gpu::GpuDevice& device, bool quarter)
{
    if (width_ == failedWidth_ && height_ == failedHeight_)
        return false; // reported already; wait for a new size
    if (quarter ? quarterBright_ != nullptr : bright_ != nullptr)
        return true;
    try {
        if (quarter) {
            const int width = (width_ + 1) / 2;
            const int height = (height_ + 1) / 2;
            auto image = [&](const char* label) {
                return device.makeTexture(
                    {gpu::TextureKind::texture2D, gpu::PixelFormat::rgba16Float, width, height, 1, label});
            };
            quarterBlurred_ = image("bloom highlights blurred, quarter size");
            quarterMist_ = image("fog and bloom, quarter size");
            quarterMistDepth_ = image("fog depth, quarter size");
            quarterBright_ = image("bloom highlights, quarter size"); // last: it says the set is complete
        } else {
            gpu::TextureDescriptor descriptor{
                gpu::TextureKind::texture2D, gpu::PixelFormat::rgba16Float, width_, height_, 1,
                "bloom highlights blurred"};
            blurred_ = device.makeTexture(descriptor);
            descriptor.label = "bloom highlights";
            bright_ = device.makeTexture(descriptor); // last: it says the pair is complete
        }
    } catch (const std::exception& error) {
        failedWidth_ = width_;
        failedHeight_ = height_;
        log(std::string("E4 BLOOM FAILED ") + error.what());
        return false;
    }
    return true;
}

gpu::GaussianBlur::Size GhostBloom::blurSize(const render::PostProcessContext& context)
{
    // A software GPU blurs a half-size copy of the highlights; the
    // highlight images themselves keep the frame's size.
    return context.quality == render::QualityTier::software ? gpu::GaussianBlur::Size::half
                                                            : gpu::GaussianBlur::Size::full;
}

void GhostBloom::frameFailed()
{
    // Until the frame's size changes, frames are copied: they no longer
    // run the passes whose work failed, and count towards the warm-up.
    passesFailed_ = true;
    if (!reportedFailure_) {
        reportedFailure_ = true;
        log("E4 BLOOM FAILED The GPU could not complete a frame's post-process.");
    }
}

void GhostBloom::loadFogVolume(gpu::GpuDevice& device)
{
    const std::filesystem::path file = resources_ / resources::fogDensity;
    const std::vector<std::uint8_t> bytes = readWhole(file);
    if (bytes.size() != fogVolumeBytes) {
        throw gpu::GpuError(fogVolumeDomain, fogVolumeWrongLength,
                            "The fog volume “" + file.filename().string() + "” has " + std::to_string(bytes.size()) +
                                " bytes; it must have exactly " + std::to_string(fogVolumeBytes) +
                                " (128 × 64 × 128).");
    }
    std::shared_ptr<gpu::GpuTexture> volume;
    try {
        volume = device.makeTexture({gpu::TextureKind::texture3D, gpu::PixelFormat::r8Unorm, resources::fogWidth,
                                     resources::fogHeight, resources::fogDepth, "fog density"});
        volume->replace(bytes.data(), bytes.size(), fogRowBytes, fogSliceBytes);
    } catch (const std::exception& error) {
        throw gpu::GpuError(fogVolumeDomain, fogVolumeTextureRefused,
                            "The fog volume texture (128 × 64 × 128, r8) cannot be made: " + std::string(error.what()));
    }
    fogMask_ = std::move(volume);
}

} // namespace gloam
