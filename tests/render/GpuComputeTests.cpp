// The GPU compute layer on a headless context: kernels over a grid,
// textures (2D half-float, 3D bytes from memory), blit, blur, completion.
#include "platform/gpu/CommandBuffer.h"
#include "platform/gpu/ComputeEncoder.h"
#include "platform/gpu/ComputePipeline.h"
#include "platform/gpu/GaussianBlur.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/gpu/GpuError.h"
#include "platform/gpu/GpuTexture.h"
#include "platform/gpu/ShaderLibrary.h"
#include "platform/render/headless/HeadlessContext.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <filesystem>
#include <fstream>
#include <numeric>

using namespace gloam::gpu;

namespace {

class GpuCompute : public ::testing::Test {
protected:
    void SetUp() override { device = GpuDevice::create(); }

    std::shared_ptr<GpuTexture> image(int width, int height)
    {
        return device->makeTexture({TextureKind::texture2D, PixelFormat::rgba16Float, width, height, 1, "test"});
    }

    // Runs `kernel` of `library` over width × height with the given textures.
    void run(const ShaderLibrary& library, const std::string& kernel, std::vector<std::shared_ptr<GpuTexture>> textures,
             unsigned width, unsigned height, const void* bytes = nullptr, size_t size = 0)
    {
        auto pipeline = device->makeComputePipeline(library, kernel);
        auto buffer = device->makeCommandBuffer();
        auto encoder = buffer->makeComputeEncoder();
        encoder.setPipeline(*pipeline);
        for (unsigned i = 0; i < textures.size(); ++i)
            encoder.setTexture(i, *textures[i]);
        if (bytes != nullptr)
            encoder.setBytes(0, bytes, size);
        encoder.dispatchThreads(width, height);
        encoder.endEncoding();
        buffer->commit();
        buffer->waitUntilCompleted();
        ASSERT_EQ(buffer->status(), CommandBufferStatus::completed);
    }

    gloam::render::HeadlessContext context;
    std::shared_ptr<GpuDevice> device;
};

const ShaderLibrary fill = ShaderLibrary::fromSource("Fill.glsl", R"(
#pragma kernel coordinates
#pragma kernel constant
layout(binding = 0, rgba16f) uniform image2D target;
layout(std140, binding = 0) uniform Values { mat4 a; mat4 b; vec4 c; vec4 d; };
void coordinates() {
    ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    imageStore(target, p, vec4(p.x, p.y, 1.0, 1.0));
}
void constant() {
    imageStore(target, ivec2(gl_GlobalInvocationID.xy), vec4(a[3][0], b[1][2], c.z, d.w));
}
)");

float at(const std::vector<float>& pixels, int width, int x, int y, int lane = 0)
{
    return pixels[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4 +
                  static_cast<size_t>(lane)];
}

TEST_F(GpuCompute, kernelCoversExactlyTheGridEvenWithPartialGroups)
{
    auto target = image(16, 16);
    run(fill, "coordinates", {target}, 13, 11);
    auto pixels = target->readFloats();
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const bool inside = x < 13 && y < 11;
            ASSERT_EQ(at(pixels, 16, x, y, 2), inside ? 1.0f : 0.0f) << x << "," << y;
            if (inside) {
                ASSERT_EQ(at(pixels, 16, x, y, 0), float(x));
                ASSERT_EQ(at(pixels, 16, x, y, 1), float(y));
            }
        }
    }
}

TEST_F(GpuCompute, bytesArriveAsAStd140Record)
{
    // The post-process record: two column-major matrices and two vectors.
    float record[40] = {};
    record[12] = 3.0f;     // a[3][0]
    record[16 + 6] = 5.0f; // b[1][2]
    record[32 + 2] = 7.0f; // c.z
    record[36 + 3] = 9.0f; // d.w
    auto target = image(8, 8);
    run(fill, "constant", {target}, 8, 8, record, sizeof record);
    auto pixels = target->readFloats();
    EXPECT_EQ(at(pixels, 8, 5, 5, 0), 3.0f);
    EXPECT_EQ(at(pixels, 8, 5, 5, 1), 5.0f);
    EXPECT_EQ(at(pixels, 8, 5, 5, 2), 7.0f);
    EXPECT_EQ(at(pixels, 8, 5, 5, 3), 9.0f);
}

TEST_F(GpuCompute, missingPiecesAreErrorsWithDomainAndCode)
{
    struct Case {
        std::function<void()> action;
        std::string domain;
        int code;
    };
    const auto missingFile = std::filesystem::temp_directory_path() / "gloam-no-such-library.glsl";
    const std::vector<Case> cases = {
        {[&] { device->makeComputePipeline(fill, "groundMist"); }, "HalloweenMetal", 2},
        {[&] { (void)fill.surfaceSource("coordinates"); }, "HalloweenMetal", 2},
        {[&] { (void)ShaderLibrary::load(missingFile); }, "GloamShaderLibrary", 1},
        {[&] {
             device->makeComputePipeline(
                 ShaderLibrary::fromSource("Broken.glsl", "#pragma kernel broken\nvoid broken() { nonsense; }\n"),
                 "broken");
         },
         "GloamShaderLibrary", 2},
        {[&] { image(0, 4); }, "GloamTexture", 1},
    };
    for (const Case& c : cases) {
        try {
            c.action();
            ADD_FAILURE() << "no error for " << c.domain << " " << c.code;
        } catch (const GpuError& error) {
            EXPECT_EQ(error.domain(), c.domain) << error.what();
            EXPECT_EQ(error.code(), c.code) << error.what();
        }
    }
}

TEST_F(GpuCompute, libraryLoadsFromAFileAndListsItsEntryPoints)
{
    const auto file = std::filesystem::temp_directory_path() / "gloam-test-library.glsl";
    std::ofstream(file) << "#pragma kernel one\n# pragma kernel two\n#pragma surface glow\nvoid one() {}\n";
    auto library = ShaderLibrary::load(file);
    std::filesystem::remove(file);
    EXPECT_TRUE(library.hasKernel("one"));
    EXPECT_TRUE(library.hasKernel("two"));
    EXPECT_TRUE(library.hasSurface("glow"));
    EXPECT_FALSE(library.hasKernel("glow"));
    EXPECT_EQ(library.name(), "gloam-test-library.glsl");
}

TEST_F(GpuCompute, volumeUploadedFromMemoryReadsBackInKernels)
{
    // 128 × 64 × 128 bytes laid out x fastest, then rows, then slices.
    constexpr int w = 128, h = 64, d = 128;
    std::vector<std::uint8_t> bytes(size_t(w) * h * d);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>((i * 7 + i / 8192) % 251);
    auto volume = device->makeTexture({TextureKind::texture3D, PixelFormat::r8Unorm, w, h, d, "fog"});
    volume->replace(bytes.data(), bytes.size(), w, w * h);
    const auto sampled = ShaderLibrary::fromSource("Volume.glsl", R"(
#pragma kernel slice
layout(binding = 0) uniform sampler3D volume;
layout(binding = 1, rgba16f) uniform image2D target;
void slice() {
    ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    imageStore(target, p, vec4(texelFetch(volume, ivec3(p.x, 17, p.y), 0).r * 255.0));
}
)");
    auto target = image(w, d);
    run(sampled, "slice", {volume, target}, w, d);
    auto pixels = target->readFloats();
    for (int z : {0, 5, 127}) {
        for (int x : {0, 1, 77, 127}) {
            const size_t i = size_t(z) * w * h + 17 * size_t(w) + size_t(x);
            EXPECT_EQ(at(pixels, w, x, z), float(bytes[i])) << x << "," << z;
        }
    }
    EXPECT_THROW(volume->replace(bytes.data(), bytes.size() - 1, w, w * h), GpuError);
}

TEST_F(GpuCompute, blitCopiesEveryTexel)
{
    auto source = image(20, 9);
    auto copy = image(20, 9);
    run(fill, "coordinates", {source}, 20, 9);
    auto buffer = device->makeCommandBuffer();
    buffer->copy(*source, *copy);
    buffer->waitUntilCompleted();
    EXPECT_EQ(copy->readFloats(), source->readFloats());
}

TEST_F(GpuCompute, blurSpreadsADotSymmetricallyAndKeepsItsEnergy)
{
    const auto dot = ShaderLibrary::fromSource("Dot.glsl", R"(
#pragma kernel dot
layout(binding = 0, rgba16f) uniform image2D target;
void dot() {
    ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    imageStore(target, p, p == ivec2(16, 16) ? vec4(1.0) : vec4(0.0));
}
)");
    auto source = image(33, 33);
    auto blurred = image(33, 33);
    run(dot, "dot", {source}, 33, 33);
    GaussianBlur blur(device, 2.0f);
    EXPECT_EQ(blur.radius(), 6);
    auto buffer = device->makeCommandBuffer();
    blur.encode(*buffer, *source, *blurred);
    buffer->waitUntilCompleted();
    auto pixels = blurred->readFloats();
    double total = 0.0;
    for (int y = 0; y < 33; ++y)
        for (int x = 0; x < 33; ++x)
            total += at(pixels, 33, x, y);
    EXPECT_NEAR(total, 1.0, 0.01);
    const float centre = at(pixels, 33, 16, 16);
    EXPECT_GT(centre, at(pixels, 33, 17, 16));
    for (int offset : {1, 2, 4}) {
        const float right = at(pixels, 33, 16 + offset, 16);
        EXPECT_GT(right, 0.0f);
        EXPECT_NEAR(at(pixels, 33, 16 - offset, 16), right, 1e-4f);
        EXPECT_NEAR(at(pixels, 33, 16, 16 + offset), right, 1e-4f);
        EXPECT_NEAR(at(pixels, 33, 16, 16 - offset), right, 1e-4f);
    }
    // Exactly the Gaussian: one step away falls by exp(-1/8) per axis.
    EXPECT_NEAR(at(pixels, 33, 17, 16) / centre, std::exp(-1.0f / 8.0f), 0.01f);
    EXPECT_EQ(at(pixels, 33, 16 + 7, 16), 0.0f);
}

TEST_F(GpuCompute, blurClampsAtTheEdgesSoAFlatImageStaysFlat)
{
    const auto flat = ShaderLibrary::fromSource("Flat.glsl", R"(
#pragma kernel even
layout(binding = 0, rgba16f) uniform image2D target;
void even() { imageStore(target, ivec2(gl_GlobalInvocationID.xy), vec4(0.5, 0.25, 2.0, 1.0)); }
)");
    auto source = image(24, 10);
    auto blurred = image(24, 10);
    run(flat, "even", {source}, 24, 10);
    GaussianBlur blur(device, 4.5f);
    auto buffer = device->makeCommandBuffer();
    blur.encode(*buffer, *source, *blurred);
    buffer->waitUntilCompleted();
    auto pixels = blurred->readFloats();
    for (auto [x, y] : {std::pair{0, 0}, {23, 9}, {0, 9}, {12, 5}}) {
        EXPECT_NEAR(at(pixels, 24, x, y, 0), 0.5f, 2e-3f);
        EXPECT_NEAR(at(pixels, 24, x, y, 2), 2.0f, 4e-3f);
    }
}

TEST_F(GpuCompute, completionHandlersSayWhetherTheWorkSucceeded)
{
    auto target = image(8, 8);
    auto pipeline = device->makeComputePipeline(fill, "coordinates");
    std::vector<CommandBufferStatus> seen;
    auto good = device->makeCommandBuffer();
    auto encoder = good->makeComputeEncoder();
    encoder.setPipeline(*pipeline);
    encoder.setTexture(0, *target);
    encoder.dispatchThreads(8, 8);
    encoder.endEncoding();
    good->addCompletedHandler([&](CommandBufferStatus status) { seen.push_back(status); });
    good->commit();

    // A dispatch without a pipeline is a failed frame.
    auto bad = device->makeCommandBuffer();
    bad->makeComputeEncoder().dispatchThreads(8, 8);
    bad->addCompletedHandler([&](CommandBufferStatus status) { seen.push_back(status); });
    bad->commit();

    device->waitUntilIdle();
    device->pollCompletions();
    ASSERT_EQ(seen.size(), 2u); // each handler exactly once
    EXPECT_EQ(seen[0], CommandBufferStatus::completed);
    EXPECT_EQ(seen[1], CommandBufferStatus::error);
}

// Committed work the device still tracks must not keep the device alive:
// a host that drops its device (and the context) with work in flight gets
// both back, and a buffer it kept past its device is still safe to drop.
TEST_F(GpuCompute, aDeviceDroppedWithWorkInFlightIsFreed)
{
    std::shared_ptr<CommandBuffer> kept;
    bool handled = false;
    {
        auto target = image(8, 8);
        auto pipeline = device->makeComputePipeline(fill, "coordinates");
        kept = device->makeCommandBuffer();
        auto encoder = kept->makeComputeEncoder();
        encoder.setPipeline(*pipeline);
        encoder.setTexture(0, *target);
        encoder.dispatchThreads(8, 8);
        encoder.endEncoding();
        kept->addCompletedHandler([&](CommandBufferStatus) { handled = true; });
        kept->commit();
        EXPECT_THROW(kept->device(), std::logic_error) << "a committed buffer takes no more commands";
    }
    const std::weak_ptr<GpuDevice> watch = device;
    device.reset();
    EXPECT_TRUE(watch.expired()) << "the work in flight kept its device alive";
    EXPECT_FALSE(handled) << "work the device dropped never completes";
    EXPECT_EQ(kept->status(), CommandBufferStatus::committed);
    kept.reset();
}

TEST_F(GpuCompute, pipelinesCanBeMadeFromAnotherThreadThroughTheJobQueue)
{
    // The render thread owns the context; the main thread asks for a
    // pipeline and waits while the render thread compiles it.
    // Everything the asking thread touches is shared, not on this stack:
    // if it never finishes, the test fails and leaves it behind.
    struct Exchange {
        std::mutex mutex;
        std::vector<std::function<void()>> jobs;
        std::shared_ptr<ComputePipeline> made;
        std::atomic<bool> done{false};
    };
    auto exchange = std::make_shared<Exchange>();
    // Held weakly: the pipeline it receives holds the device, whose queue
    // this is.
    auto queued = GpuDevice::create([weak = std::weak_ptr<Exchange>(exchange)](std::function<void()> job) {
        auto shared = weak.lock();
        if (!shared)
            return false;
        std::lock_guard lock(shared->mutex);
        shared->jobs.push_back(std::move(job));
        return true;
    });
    std::thread asker([exchange, queued, library = fill] {
        exchange->made = queued->makeComputePipeline(library, "coordinates");
        exchange->done = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!exchange->done && std::chrono::steady_clock::now() < deadline) {
        std::vector<std::function<void()>> now;
        {
            std::lock_guard lock(exchange->mutex);
            now.swap(exchange->jobs);
        }
        for (auto& job : now)
            job();
        std::this_thread::yield();
    }
    if (!exchange->done) {
        asker.detach();
        FAIL() << "the pipeline asked for from another thread was not made within 60 s";
    }
    asker.join();
    const auto& made = exchange->made;
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->name(), "coordinates");
    EXPECT_NE(made->program(), 0u);
}

} // namespace

namespace {

TEST_F(GpuCompute, aHalfSizeBlurSoftensLikeTheFullOneForAQuarterOfTheTexels)
{
    const auto block = ShaderLibrary::fromSource("Block.glsl", R"(
#pragma kernel block
layout(binding = 0, rgba16f) uniform image2D target;
void block() {
    ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    bool inside = all(greaterThanEqual(p, ivec2(32))) && all(lessThan(p, ivec2(34)));
    imageStore(target, p, inside ? vec4(1.0) : vec4(0.0));
}
)");
    auto source = image(66, 66);
    run(block, "block", {source}, 66, 66);
    GaussianBlur full(device, 4.0f);
    GaussianBlur half(device, 4.0f, GaussianBlur::Size::half);
    EXPECT_EQ(half.sigma(), 4.0f);
    EXPECT_EQ(half.radius(), 6); // 3 × sigma / 2, in half-size texels
    EXPECT_EQ(full.radius(), 12);
    std::vector<float> results[2];
    for (int k = 0; k < 2; ++k) {
        auto blurred = image(66, 66);
        auto buffer = device->makeCommandBuffer();
        (k == 0 ? full : half).encode(*buffer, *source, *blurred);
        buffer->waitUntilCompleted();
        results[k] = blurred->readFloats();
    }
    double total[2] = {0, 0};
    for (int k = 0; k < 2; ++k)
        for (int y = 0; y < 66; ++y)
            for (int x = 0; x < 66; ++x)
                total[k] += at(results[k], 66, x, y);
    EXPECT_NEAR(total[0], 4.0, 0.04);
    EXPECT_NEAR(total[1], 4.0, 0.2);
    // The same soft spot: alike at the centre and a blur width out, and
    // symmetric about the block's centre.
    for (auto [x, y] : {std::pair{32, 32}, {36, 33}, {33, 28}, {40, 40}}) {
        EXPECT_NEAR(at(results[1], 66, x, y), at(results[0], 66, x, y), 0.25f * at(results[0], 66, 32, 32))
            << x << "," << y;
    }
    EXPECT_NEAR(at(results[1], 66, 28, 32), at(results[1], 66, 37, 32), 1e-3f);
}

} // namespace
