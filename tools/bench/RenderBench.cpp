// Cost of one rendered frame at 1200 × 540 on this machine's GL: a
// reference scene of about 200,000 triangles, 20 point lights, a shadowed
// directional light and the post-process copy. Stage costs are reported as
// counters (measured in a separate pass that waits for the GPU between
// stages).
#include "platform/gpu/GpuDevice.h"
#include "platform/render/OffscreenTarget.h"
#include "platform/render/PrimitiveMeshes.h"
#include "platform/render/Renderer.h"
#include "platform/render/StudioEnvironment.h"
#include "platform/render/headless/HeadlessContext.h"

#include <benchmark/benchmark.h>
#include <epoxy/gl.h>
#include <glm/gtc/matrix_transform.hpp>

#include <cmath>

using namespace gloam::render;

namespace {

constexpr int width = 1200;
constexpr int height = 540;

FramePacket referenceScene(bool transparentShare, int lights = 20)
{
    FramePacket packet;
    packet.camera.world = glm::inverse(glm::lookAt(glm::vec3(0, 6, 16), glm::vec3(0, 0.5f, 0), glm::vec3(0, 1, 0)));
    packet.camera.verticalFieldOfView = glm::radians(35.0f);
    packet.camera.nearPlane = 0.1f;
    packet.camera.farPlane = 100.0f;
    auto image = std::make_shared<ImageData>();
    image->id = ImageData::nextId();
    image->width = StudioEnvironment::width;
    image->height = StudioEnvironment::height;
    image->encoding = ImageData::Encoding::float32;
    image->floats = StudioEnvironment::pixels();
    packet.environment.image = image;

    DrawItem ground;
    ground.mesh = PrimitiveMeshes::plane(30, 30);
    ground.material.roughness = 0.8f;
    packet.draws.push_back(ground);
    // 7 × 7 spheres of 4,096 triangles: about 200,000 triangles.
    const auto sphere = PrimitiveMeshes::sphere(0.6f, 64, 32);
    for (int z = 0; z < 7; ++z) {
        for (int x = 0; x < 7; ++x) {
            DrawItem item;
            item.mesh = sphere;
            item.world = glm::translate(glm::mat4(1.0f), glm::vec3(-6.0f + 2.0f * x, 0.6f, -6.0f + 2.0f * z));
            item.material.baseColor = {0.2f + 0.1f * x, 0.3f, 0.9f - 0.1f * z, 1.0f};
            item.material.roughness = 0.15f + 0.1f * x;
            item.material.metallic = z % 2 == 0 ? 1.0f : 0.0f;
            if (transparentShare && (x + z) % 5 == 0) {
                item.material.transparent = true;
                item.material.opacity = 0.5f;
            }
            packet.draws.push_back(item);
        }
    }
    for (int i = 0; i < lights; ++i) {
        const float a = static_cast<float>(i) / 20.0f * 6.2831853f;
        packet.pointLights.push_back({{7.0f * std::cos(a), 1.0f + 0.1f * i, 7.0f * std::sin(a)},
                                      {1.0f, 0.5f + 0.02f * i, 0.3f},
                                      3000.0f + 500.0f * i,
                                      6.0f});
    }
    packet.directionalLights = {
        DirectionalLightRecord{glm::normalize(glm::vec3(0.4f, -1.0f, -0.5f)), {1, 1, 1}, 2000.0f, true, 30.0f, 1.0f}};
    return packet;
}

struct Bench {
    HeadlessContext context;
    std::shared_ptr<gloam::gpu::GpuDevice> device = gloam::gpu::GpuDevice::create();
    Renderer renderer{device};
    OffscreenTarget target{width, height};
};

void BM_Frame(benchmark::State& state)
{
    Bench bench;
    const FramePacket packet = referenceScene(true, static_cast<int>(state.range(0)));
    const Renderer::Output output{bench.target.framebuffer(), width, height, 1.0f};
    bench.renderer.render(packet, output); // uploads and program builds
    glFinish();
    for (auto _ : state) {
        bench.renderer.render(packet, output);
        glFinish();
    }
    // Per-stage cost, waiting for the GPU between stages.
    bench.renderer.setMeasuring(true);
    Renderer::StageTimes sum;
    constexpr int runs = 5;
    for (int i = 0; i < runs; ++i) {
        bench.renderer.render(packet, output);
        const auto& t = bench.renderer.stageTimes();
        sum.shadow += t.shadow / runs;
        sum.opaque += t.opaque / runs;
        sum.transparent += t.transparent / runs;
        sum.postProcess += t.postProcess / runs;
        sum.present += t.present / runs;
    }
    state.counters["shadow_ms"] = sum.shadow;
    state.counters["opaque_ms"] = sum.opaque;
    state.counters["transparent_ms"] = sum.transparent;
    state.counters["post_ms"] = sum.postProcess;
    state.counters["present_ms"] = sum.present;
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Frame)->Arg(20)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

} // namespace

BENCHMARK_MAIN();
