#include "tools/soak/FirstRuns.h"

#include "engine/post/GhostBloom.h"
#include "engine/scene/GhostView.h"
#include "engine/scene/HeadlessSceneDriver.h"
#include "platform/assets/TextureResource.h"
#include "platform/mesh/MeshResource.h"
#include "platform/render/Renderer.h"
#include "tools/soak/ProcessMemory.h"

#include <QCoreApplication>

#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace gloam::soak {

namespace {

struct Reading {
    ProcessMemory memory;
    render::GpuResourceCache::Stats gpu;
    long meshes = 0;
    long textures = 0;
};

Reading read(HeadlessSceneDriver& driver)
{
    return {ProcessMemory::sample(), driver.renderer().resourceStats(), platform::MeshResource::liveCount(),
            platform::TextureResource::liveCount()};
}

} // namespace

FirstRuns::FirstRuns(Options options)
    : options_(options)
{}

void FirstRuns::run()
{
    HeadlessSceneDriver driver(options_.width, options_.height);
    double now = 0;
    GhostView::Environment environment;
    environment.uptime = [&now] { return now; };
    environment.eggSeed = 1;
    environment.log = [](const std::string&, bool) {};
    auto view = GhostView::make({0, 0, static_cast<float>(options_.width), static_cast<float>(options_.height)}, true,
                                Vehicle::corsel, SoundMode::app, environment);
    const Reading created = read(driver);
    view->skipOpening();
    while (!view->isReady() && !view->isStopped()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    }
    if (view->isStopped()) {
        throw std::runtime_error("the scene could not be loaded");
    }
    view->setAutomatic(false);
    const auto play = [&](double seconds) {
        for (double t = 0; t < seconds; t += options_.step) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            now += options_.step;
            driver.present(*view, options_.step);
        }
    };
    const Reading loaded = read(driver);
    // The scene on screen with nothing playing, until the post-process has
    // warmed up and the first frames' uploads are done.
    play(10.0);
    const Reading settled = read(driver);

    std::printf("Gloamyard effects' first runs at %dx%d, %.2f s per frame (MB, counts)\n", options_.width,
                options_.height, options_.step);
    std::printf("%-28s %8s %8s %8s %6s %8s %7s %7s\n", "", "RSS", "anon", "heap", "gpu", "gpu MB", "meshes", "texts");
    const auto line = [](const char* label, const Reading& before, const Reading& after) {
        std::printf("%-28s %+8.1f %+8.1f %+8.1f %+6ld %+8.1f %+7ld %+7ld\n", label,
                    after.memory.resident - before.memory.resident, after.memory.anonymous - before.memory.anonymous,
                    after.memory.heapInUse - before.memory.heapInUse,
                    static_cast<long>(after.gpu.entries()) - static_cast<long>(before.gpu.entries()),
                    static_cast<double>(after.gpu.bytes) / 1048576.0 -
                        static_cast<double>(before.gpu.bytes) / 1048576.0,
                    after.meshes - before.meshes, after.textures - before.textures);
        std::fflush(stdout);
    };
    const auto total = [](const char* label, const Reading& r) {
        std::printf("%-28s %8.1f %8.1f %8.1f %6zu %8.1f %7ld %7ld\n", label, r.memory.resident, r.memory.anonymous,
                    r.memory.heapInUse, r.gpu.entries(), static_cast<double>(r.gpu.bytes) / 1048576.0, r.meshes,
                    r.textures);
    };
    total("view made (opening built)", created);
    total("scene loaded", loaded);
    total("first frames drawn", settled);

    struct Effect {
        const char* name;
        std::function<void()> start;
        double seconds;
    };
    const std::vector<Effect> effects = {
        {"lightning", [&] { view->triggerLightning(); }, 8.0},
        {"pumpkins", [&] { view->triggerPumpkins(); }, 8.0},
        {"grave ghost", [&] { view->triggerGhost(std::nullopt); }, 6.0},
        {"witch", [&] { view->triggerWitch(); }, 14.0},
        {"hand", [&] { view->triggerHand(); }, 10.0},
        {"sky surprise", [&] { view->previewEgg(EasterEgg::skyrell); }, duration(EasterEgg::skyrell) + 2.0},
        {"charging surprise", [&] { view->previewEgg(EasterEgg::amperle); }, duration(EasterEgg::amperle) + 2.0},
    };
    for (int round = 1; round <= 2; ++round) {
        for (const Effect& effect : effects) {
            const Reading before = read(driver);
            effect.start();
            play(effect.seconds);
            const std::string label = std::string(effect.name) + (round == 1 ? ", first run" : ", second run");
            line(label.c_str(), before, read(driver));
        }
    }
    total("after both rounds", read(driver));
    view->stop();
}

} // namespace gloam::soak
