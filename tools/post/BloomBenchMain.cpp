// gloamyard-bloom-bench: what the bloom and fog post-process costs per frame,
// headless. Each iteration is one frame's post-process on a frame of the
// night scene: encode, commit and wait for the GPU (llvmpipe here).
#include "engine/post/GhostBloom.h"
#include "engine/common/HalloweenResources.h"
#include "platform/gpu/CommandBuffer.h"
#include "platform/gpu/ComputeEncoder.h"
#include "platform/gpu/GaussianBlur.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/gpu/GpuTexture.h"
#include "platform/render/OffscreenTarget.h"
#include "platform/render/PostProcessContext.h"
#include "platform/render/Renderer.h"
#include "platform/render/headless/HeadlessContext.h"
#include "tools/post/FogNoiseVolume.h"
#include "tools/post/NightScene.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <memory>

namespace {

namespace fs = std::filesystem;

// CPU time of the whole process (llvmpipe's threads included), in ms: the
// work a frame costs, whatever else the machine is doing.
double processCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Reports the process CPU time per iteration as the counter "cpu_ms".
class CpuClock {
public:
    explicit CpuClock(benchmark::State& state)
        : state_(state)
        , start_(processCpuMs())
    {}
    ~CpuClock()
    {
        const double iterations = double(std::max<benchmark::IterationCount>(state_.iterations(), 1));
        state_.counters["cpu_ms"] = (processCpuMs() - start_) / iterations;
    }

private:
    benchmark::State& state_;
    double start_;
};

// One rendered frame of the night scene and a post-process ready for it.
struct Fixture {
    Fixture(int width, int height)
        : device(gloam::gpu::GpuDevice::create())
        , renderer(device)
        , target(width, height)
    {
        gloam::gpu::GpuDevice::setSystemDefault(device);
        folder = fs::temp_directory_path() / ("gloamyard-bloom-bench-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        const std::string library = gloam::effects(gloam::Vehicle::corsel);
        fs::copy_file(gloam::halloweenResources() / library, folder / library, fs::copy_options::overwrite_existing);
        gloam::tools::FogNoiseVolume::write(folder);

        packet = gloam::tools::NightScene::build();
        renderer.render(packet, {target.framebuffer(), width, height, 1.0f});
        device->waitUntilIdle();
        const auto& color = *renderer.sceneColor();
        source = device->makeTexture(color.descriptor());
        depth = device->makeTexture(renderer.sceneDepth()->descriptor());
        post = device->makeTexture(color.descriptor());
        auto copy = device->makeCommandBuffer();
        copy->copy(color, *source);
        copy->copy(*renderer.sceneDepth(), *depth);
        copy->waitUntilCompleted();
        projection = gloam::render::Renderer::projection(packet.camera, float(width) / float(height));

        bloom = gloam::GhostBloom::create(folder, [](const std::string&) {});
        bloom->select(gloam::GhostBloom::prepare(gloam::Vehicle::corsel, folder));
        bloom->setCamera(packet.camera.world);
        bloom->setAtmosphere(30.0f, 0.0f, 0.0f, 0.0f);
    }

    ~Fixture()
    {
        bloom.reset();
        device->waitUntilIdle();
        device->pollCompletions();
        gloam::gpu::GpuDevice::setSystemDefault(nullptr);
        fs::remove_all(folder);
    }

    // `path`: 0 full size (the full tier), 1 the blur at half size, 2 the
    // quarter-size path (the software tier without and with quarter-post).
    void frame(long path = 0)
    {
        auto buffer = device->makeCommandBuffer();
        const auto tier = path == 0 ? gloam::render::QualityTier::full : gloam::render::QualityTier::software;
        bloom->process({device, buffer, source, depth, post, projection, 0.0, tier, path == 2});
        buffer->commit();
        buffer->waitUntilCompleted();
        device->pollCompletions();
    }

    std::shared_ptr<gloam::gpu::GpuDevice> device;
    gloam::render::Renderer renderer;
    gloam::render::OffscreenTarget target;
    fs::path folder;
    gloam::render::FramePacket packet;
    std::shared_ptr<gloam::gpu::GpuTexture> source, depth, post;
    glm::mat4 projection{1.0f};
    std::shared_ptr<gloam::GhostBloom> bloom;
};

gloam::render::HeadlessContext& context()
{
    static gloam::render::HeadlessContext headless;
    return headless;
}

// Bloom and fog, the steady path; range(2) as `Fixture::frame`'s path.
void processFrame(benchmark::State& state)
{
    context();
    Fixture fixture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    fixture.frame(state.range(2)); // builds the images, the blur and the fog volume
    CpuClock cpu(state);
    for (auto _ : state)
        fixture.frame(state.range(2));
    state.counters["pixels"] = double(state.range(0) * state.range(1));
}

// The plain copy of a frame while the scene is hidden (the baseline).
void plainCopy(benchmark::State& state)
{
    context();
    Fixture fixture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    fixture.bloom->setSceneVisibility(0.0f);
    fixture.frame();
    CpuClock cpu(state);
    for (auto _ : state)
        fixture.frame();
}

// Each pass alone, to see where the time goes: range(2) 0 = extract
// ("cyanHighlights"), 1 = blur, 2 = composite ("groundMist").
void pass(benchmark::State& state)
{
    context();
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    Fixture fixture(width, height);
    fixture.frame();
    const auto pipelines = gloam::GhostBloom::prepare(gloam::Vehicle::corsel, fixture.folder);
    gloam::gpu::TextureDescriptor half = fixture.source->descriptor();
    auto bright = fixture.device->makeTexture(half);
    auto blurred = fixture.device->makeTexture(half);
    gloam::gpu::GaussianBlur blur(fixture.device, float(width) * 9.0f / 2400.0f);
    auto fog = fixture.device->makeTexture(
        {gloam::gpu::TextureKind::texture3D, gloam::gpu::PixelFormat::r8Unorm, 128, 64, 128, "fog"});
    const auto bytes = gloam::tools::FogNoiseVolume::generate();
    fog->replace(bytes.data(), bytes.size(), 128, 128 * 64);
    gloam::FogUniforms uniforms;
    uniforms.inverseProjection = glm::inverse(fixture.projection);
    uniforms.cameraWorld = fixture.packet.camera.world;
    uniforms.atmosphere = {30.0f, 0.0f, 0.0f, 0.0f};
    uniforms.presentation = {1.0f, 0.0f, 0.0f, 0.0f};
    CpuClock cpu(state);
    for (auto _ : state) {
        auto buffer = fixture.device->makeCommandBuffer();
        if (state.range(2) == 1) {
            blur.encode(*buffer, *bright, *blurred);
        } else {
            auto encoder = buffer->makeComputeEncoder();
            const bool extract = state.range(2) == 0;
            encoder.setPipeline(extract ? *pipelines.extract : *pipelines.composite);
            encoder.setTexture(0, *fixture.source);
            encoder.setTexture(1, extract ? *bright : *blurred);
            encoder.setTexture(2, *fixture.depth);
            if (!extract) {
                encoder.setTexture(3, *fog);
                encoder.setTexture(4, *fixture.post);
            }
            encoder.setBytes(0, &uniforms, sizeof uniforms);
            encoder.dispatchThreads(unsigned(width), unsigned(height));
            encoder.endEncoding();
        }
        buffer->commit();
        buffer->waitUntilCompleted();
    }
}

// The first frame at a new size: images, blur and (once) the fog volume.
void firstFrame(benchmark::State& state)
{
    context();
    for (auto _ : state) {
        state.PauseTiming();
        auto fixture = std::make_unique<Fixture>(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
        state.ResumeTiming();
        fixture->frame();
        state.PauseTiming();
        fixture.reset();
        state.ResumeTiming();
    }
}

// 600 × 270 and 730 × 410: 1200 × 540 and 1920 × 1080 at the software
// tier's scales 0.5 and 0.38 (the floor at 1920 x 1080 was 0.38 when measured).
BENCHMARK(processFrame)
    ->Args({1200, 540, 0})
    ->Args({600, 270, 0})
    ->Args({600, 270, 1})
    ->Args({600, 270, 2})
    ->Args({730, 410, 1})
    ->Args({730, 410, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(4.0);
BENCHMARK(plainCopy)->Args({1200, 540})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(pass)
    ->Args({1200, 540, 0})
    ->Args({1200, 540, 1})
    ->Args({1200, 540, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK(firstFrame)->Args({1200, 540})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

} // namespace

BENCHMARK_MAIN();
