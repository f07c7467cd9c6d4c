#include "tools/soak/SceneSoak.h"

#include "engine/scene/GhostView.h"
#include "engine/scene/HeadlessSceneDriver.h"
#include "platform/assets/TextureResource.h"
#include "platform/mesh/MeshResource.h"
#include "platform/render/FramePacketBuilder.h"
#include "platform/render/Renderer.h"

#include <QCoreApplication>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace gloam::soak {

namespace {

using Clock = std::chrono::steady_clock;

} // namespace

SceneSoak::SceneSoak(Options options)
    : options_(options)
{}

std::vector<SoakSample> SceneSoak::run()
{
    HeadlessSceneDriver driver(options_.width, options_.height);
    double now = 0;
    GhostView::Environment environment;
    environment.uptime = [&now] { return now; };
    environment.eggSeed = options_.seed;
    long lines = 0;
    environment.log = [&lines](const std::string&, bool) { ++lines; };
    auto view = GhostView::make({0, 0, static_cast<float>(options_.width), static_cast<float>(options_.height)}, true,
                                options_.vehicle, SoundMode::app, environment);

    std::printf("Gloamyard memory soak: %d minutes of scene time at %dx%d, %.4f s per frame, seed %llu, %s\n",
                options_.minutes, options_.width, options_.height, options_.step,
                static_cast<unsigned long long>(options_.seed), std::string(rawValue(options_.vehicle)).c_str());
    SoakSample::printHeader("minute");

    std::vector<SoakSample> samples;
    const Clock::time_point start = Clock::now();
    samples.push_back(SoakSample::take(0, 0, start, driver));
    samples.back().print();
    const long framesPerMinute = std::lround(60.0 / options_.step);
    const long total = framesPerMinute * options_.minutes;
    for (long frame = 1; frame <= total; ++frame) {
        // The loading task and the worker pool's results resume here, as
        // between frames in the app.
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (view->isStopped()) {
            throw std::runtime_error("the scene stopped (it could not be loaded)");
        }
        now += options_.step;
        driver.present(*view, options_.step);
        if (frame % framesPerMinute == 0) {
            samples.push_back(SoakSample::take(static_cast<double>(frame / framesPerMinute), frame, start, driver));
            samples.back().print();
        }
    }
    if (!view->isReady()) {
        throw std::runtime_error("the scene never became ready");
    }
    view->stop();

    std::printf("\n");
    printTable(samples);
    std::printf("\n");
    SoakSummary::of(samples, options_.settled).print("minute", "hour", 60.0);
    std::printf("  frames drawn %ld, scale at the end %.2f, %ld log lines\n", total, driver.renderer().renderScale(),
                lines);
    return samples;
}

void SceneSoak::printTable(const std::vector<SoakSample>& samples)
{
    std::printf("| scene minute | frames | RSS MB | anonymous MB | heap in use MB | GPU cache entries | GPU cache MB | "
                "live meshes | live textures |\n");
    std::printf("|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const SoakSample& s : samples) {
        const long minute = std::lround(s.minute);
        if (minute % 10 != 0 && minute != 5) {
            continue;
        }
        std::printf("| %ld | %ld | %.1f | %.1f | %.1f | %zu | %.1f | %ld | %ld |\n", minute, s.frames,
                    s.memory.resident, s.memory.anonymous, s.memory.heapInUse, s.gpuEntries, s.gpuMegabytes, s.meshes,
                    s.textures);
    }
    std::fflush(stdout);
}

} // namespace gloam::soak
