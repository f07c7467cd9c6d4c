// The whole scene's benchmark: how long a view takes from construction to
// ready, what one frame update costs with everything loaded (no drawing),
// whether such frames allocate, what a drawn frame with bloom and fog costs
// headless, what the charging surprise's staging search and the frames of
// each surprise cost, and the process's peak memory.

#include "engine/effects/GraveGhostEffect.h"
#include "engine/eggs/EasterEggEffects.h"
#include "engine/post/GhostBloom.h"
#include "engine/scene/GhostView.h"
#include "engine/scene/HeadlessSceneDriver.h"
#include "platform/render/Renderer.h"
#include "resources/SceneLandmarks.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <new>
#include <string>
#include <sys/resource.h>
#include <vector>

// Every allocation of the process, counted so that the frame updates can be
// checked for heap traffic.
namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size)
{
    return operator new(size);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

using namespace gloam;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// The charging station's obstacles as the view gathers them: the shown
// props and the hand.
std::vector<EasterEggEffects::Box> chargerObstacles(const GhostView& view)
{
    std::vector<EasterEggEffects::Box> boxes;
    for (const PropTarget& target : view.targets()) {
        const auto hit = view.targetEntities().find(target.id);
        if (hit != view.targetEntities().end() && hit->second && !hit->second->isEnabled()) {
            continue;
        }
        boxes.push_back({target.position(), target.dimensions()});
    }
    const glm::vec3 wrist{landmarks::handWrist.x, landmarks::handWrist.y, landmarks::handWrist.z};
    boxes.push_back({wrist + glm::vec3(0.0F, 0.22F, 0.0F), {0.7F, 0.9F, 0.7F}});
    return boxes;
}

struct UpdateCost {
    std::vector<double> wall;
    int allocatingFrames = 0;
    long allocations = 0;
};

// Frame updates alone, as the scene's update event calls them.
UpdateCost timeUpdates(GhostView& view, double& now, double step, int count)
{
    UpdateCost cost;
    cost.wall.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        now += step;
        const long before = allocations.load(std::memory_order_relaxed);
        const Clock::time_point start = Clock::now();
        view.render().scene().update(step);
        cost.wall.push_back(secondsSince(start));
        const long made = allocations.load(std::memory_order_relaxed) - before;
        cost.allocations += made;
        cost.allocatingFrames += made > 0 ? 1 : 0;
    }
    return cost;
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values.empty()
               ? 0.0
               : values[std::min(values.size() - 1, static_cast<std::size_t>(p * static_cast<double>(values.size())))];
}

struct Options {
    int width = 1200;
    int height = 540;
    int updates = 6000;
    int drawn = 12;
};

Options parse(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--size" && i + 1 < argc && std::sscanf(argv[i + 1], "%dx%d", &options.width, &options.height) == 2 &&
            options.width > 0 && options.height > 0) {
            ++i;
        } else if (a == "--updates" && i + 1 < argc && (options.updates = std::atoi(argv[i + 1])) > 0) {
            ++i;
        } else if (a == "--frames" && i + 1 < argc && (options.drawn = std::atoi(argv[i + 1])) > 0) {
            ++i;
        } else {
            std::fprintf(stderr, "Usage: gloamyard-scene-bench [--size WxH] [--updates N] [--frames N]\n"
                                 "  --size     drawn frame size (default 1200x540)\n"
                                 "  --updates  frame updates timed without drawing (default 6000)\n"
                                 "  --frames   drawn frames timed after the warm-up (default 12)\n");
            std::exit(2);
        }
    }
    return options;
}

} // namespace

int main(int argc, char** argv)
{
    const Options options = parse(argc, argv);
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QCoreApplication app(qtArgc, qtArgv);
    try {
        HeadlessSceneDriver driver(options.width, options.height);
        double now = 0;
        GhostView::Environment environment;
        environment.uptime = [&now] { return now; };
        environment.eggSeed = 1;
        environment.log = [](const std::string&, bool) {};

        // Construction to ready: the load runs on the event loop, its file
        // and shape work on the worker pool.
        const Clock::time_point constructed = Clock::now();
        auto view = GhostView::make({0, 0, static_cast<float>(options.width), static_cast<float>(options.height)}, true,
                                    Vehicle::corsel, SoundMode::preview, environment);
        view->skipOpening();
        while (!view->isReady() && !view->isStopped()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
        }
        const double ready = secondsSince(constructed);
        if (view->isStopped()) {
            std::fprintf(stderr, "gloamyard-scene-bench: the scene could not be loaded\n");
            return 1;
        }

        // Drawn frames: the first ones warm the post-process up; the timed
        // ones are steady frames with bloom and fog.
        const double step = 1.0 / 60.0;
        int warmup = 0;
        const Clock::time_point firstFrame = Clock::now();
        while (!view->bloom()->sceneWarmed() && warmup < 60) {
            now += step;
            driver.present(*view, step);
            ++warmup;
        }
        const double warmupSeconds = secondsSince(firstFrame);
        std::vector<double> drawnWall;
        const double cpuBefore = processCpuSeconds();
        for (int i = 0; i < options.drawn; ++i) {
            now += step;
            const Clock::time_point start = Clock::now();
            driver.present(*view, step);
            drawnWall.push_back(secondsSince(start));
        }
        const double drawnCpu = (processCpuSeconds() - cpuBefore) / options.drawn;

        // One more frame with the GPU waited on between stages, for where
        // the time goes (slower than a normal frame).
        driver.renderer().setMeasuring(true);
        now += step;
        driver.present(*view, step);
        const render::Renderer::StageTimes stages = driver.renderer().stageTimes();
        driver.renderer().setMeasuring(false);

        // Frame updates alone: the clocks, the gating and the atmosphere
        // with the automatic effects running, as the scene's update event
        // calls them.
        for (int i = 0; i < 600; ++i) {
            now += step;
            view->render().scene().update(step);
        }
        const UpdateCost plain = timeUpdates(*view, now, step, options.updates);
        const std::vector<double>& updateWall = plain.wall;
        const int allocatingFrames = plain.allocatingFrames;
        const long allocated = plain.allocations;

        // The charging station's staging search from three points of the
        // orbit (the default view first), the props and the hand in the way.
        struct Staging {
            float yaw;
            double milliseconds;
            double cpuMilliseconds;
            bool found;
        };
        std::vector<Staging> stagings;
        EasterEggEffects& eggs = *view->eggEffects();
        const float aspect = static_cast<float>(options.width) / static_cast<float>(options.height);
        for (const float yaw : {-0.955F, 0.6F, 2.4F}) {
            view->setCameraAngles(yaw, 0.044F);
            const auto obstacles = chargerObstacles(*view);
            std::vector<double> runs;
            std::vector<double> cpu;
            bool found = false;
            for (int i = 0; i < 15; ++i) {
                const Clock::time_point start = Clock::now();
                const double cpuStart = threadCpuSeconds();
                found = eggs.prepareCharging(view->camera()->worldMatrix(), aspect, view->vehicle(), obstacles);
                cpu.push_back(threadCpuSeconds() - cpuStart);
                runs.push_back(secondsSince(start));
            }
            stagings.push_back({yaw, median(runs) * 1e3, median(cpu) * 1e3, found});
        }
        view->setCameraAngles(-0.955F, 0.044F);

        // Frame updates while each surprise plays (the preview starts it at
        // once; the frame of the start itself is not timed).
        struct EggCost {
            EasterEgg egg;
            UpdateCost cost;
        };
        std::vector<EggCost> eggCosts;
        for (const EasterEgg egg : allEasterEggs) {
            while (view->easterEggs().active) {
                now += step;
                view->render().scene().update(step);
            }
            view->previewEgg(egg);
            if (view->easterEggs().active != egg) {
                std::fprintf(stderr, "gloamyard-scene-bench: the %s surprise did not start\n",
                             std::string(rawValue(egg)).c_str());
                continue;
            }
            const int frames = static_cast<int>(duration(egg) / step) - 1;
            eggCosts.push_back({egg, timeUpdates(*view, now, step, frames)});
        }

        // A ghost rising, over and over from the tallest grave in view, with
        // the other automatic effects off: the frames that re-sample its
        // cloth and the frames in between, which only move it.
        view->setAutomatic(false);
        std::vector<double> ghostWall;
        std::vector<double> rebuildWall;
        std::vector<double> betweenWall;
        int betweenAllocating = 0;
        const GraveGhostEffect* ghost = view->graveGhost();
        if (ghost != nullptr) {
            for (int i = 0; i < options.updates; ++i) {
                if (!view->reactions().ghostAge()) {
                    view->triggerGhost(std::nullopt);
                }
                if (!view->reactions().ghostAge()) {
                    break; // no grave in view
                }
                now += step;
                const long meshFrame = ghost->lastMeshFrame();
                const long before = allocations.load(std::memory_order_relaxed);
                const Clock::time_point start = Clock::now();
                view->render().scene().update(step);
                const double wall = secondsSince(start);
                const long count = allocations.load(std::memory_order_relaxed) - before;
                ghostWall.push_back(wall);
                if (ghost->lastMeshFrame() != meshFrame) {
                    rebuildWall.push_back(wall);
                } else {
                    betweenWall.push_back(wall);
                    betweenAllocating += count > 0 ? 1 : 0;
                }
            }
        }

        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);

        std::printf("Gloamyard scene benchmark (%dx%d, corsel, opening skipped)\n", options.width, options.height);
        std::printf("  construction to ready         %8.3f s\n", ready);
        std::printf("  post-process warm-up          %8d frames, %.2f s\n", warmup, warmupSeconds);
        std::printf("  drawn frame, bloom and fog    %8.1f ms median wall, %.1f ms CPU (process), %d frames\n",
                    median(drawnWall) * 1e3, drawnCpu * 1e3, options.drawn);
        std::printf("  one frame's stages            shadow %.0f ms, opaque %.0f ms, transparent %.0f ms, post-process "
                    "%.0f ms, "
                    "present %.0f ms\n",
                    stages.shadow, stages.opaque, stages.transparent, stages.postProcess, stages.present);
        std::printf("  frame update alone            %8.4f ms median, %.4f ms p99, %d updates (%.1f s of scene)\n",
                    median(updateWall) * 1e3, percentile(updateWall, 0.99) * 1e3, options.updates,
                    options.updates * step);
        std::printf("  updates that allocated        %8d of %d (%ld allocations)\n", allocatingFrames, options.updates,
                    allocated);
        if (ghostWall.empty()) {
            std::printf("  ghost rising                  no grave in view\n");
        } else {
            std::printf("  frame update, ghost rising    %8.4f ms median, %.4f ms p99, %zu updates\n",
                        median(ghostWall) * 1e3, percentile(ghostWall, 0.99) * 1e3, ghostWall.size());
            std::printf("    cloth re-sampled            %8.4f ms median, %zu updates\n", median(rebuildWall) * 1e3,
                        rebuildWall.size());
            std::printf("    cloth kept                  %8.4f ms median, %zu updates, %d allocated\n",
                        median(betweenWall) * 1e3, betweenWall.size(), betweenAllocating);
        }
        for (const Staging& staging : stagings) {
            std::printf("  charging staging search       %8.2f ms median wall, %.2f ms CPU, yaw %.3f, %s\n",
                        staging.milliseconds, staging.cpuMilliseconds, staging.yaw,
                        staging.found ? "placed" : "no place");
        }
        for (const EggCost& egg : eggCosts) {
            std::printf("  frame update, %-8s         %8.4f ms median, %.4f ms p99, %d of %zu allocated (%ld)\n",
                        std::string(rawValue(egg.egg)).c_str(), median(egg.cost.wall) * 1e3,
                        percentile(egg.cost.wall, 0.99) * 1e3, egg.cost.allocatingFrames, egg.cost.wall.size(),
                        egg.cost.allocations);
        }
        std::printf("  peak memory (max RSS)         %8.1f MB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
        view->stop();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "gloamyard-scene-bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
