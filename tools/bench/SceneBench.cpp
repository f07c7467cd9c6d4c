// The whole scene's benchmark: how long a view takes from construction to
// ready, what building the opening adds to that, what one frame update
// costs with everything loaded (no drawing) in the scene and under the
// opening, whether such frames allocate, what a drawn frame with bloom and
// fog costs headless, and the process's peak memory.

#include "engine/effects/OpeningSequence.h"
#include "engine/post/GhostBloom.h"
#include "engine/scene/HalloweenResources.h"
#include "platform/assets/TextureResource.h"
#include "resources/ResourceFiles.h"
#include "engine/scene/GhostView.h"
#include "engine/scene/HeadlessSceneDriver.h"
#include "platform/render/Renderer.h"

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

// CPU time of the calling thread: on a shared machine it varies much less
// than wall time.
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
    bool openingOnly = false;
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
        } else if (a == "--opening-only") {
            options.openingOnly = true;
        } else {
            std::fprintf(stderr,
                         "Usage: gloamyard-scene-bench [--size WxH] [--updates N] [--frames N] [--opening-only]\n"
                         "  --size     drawn frame size (default 1200x540)\n"
                         "  --updates  frame updates timed without drawing (default 6000)\n"
                         "  --frames   drawn frames timed after the warm-up (default 12)\n"
                         "  --opening-only  time building the opening, nothing else\n");
            std::exit(2);
        }
    }
    return options;
}

// Building the opening alone, as the view's construction does: the first
// build of the process also reads the atmosphere's shader.
struct OpeningBuild {
    double first = 0;
    double later = 0;
    double laterCpu = 0;
    double laterProcessCpu = 0;
    std::size_t count = 0;
    // Each picture decoded alone (with its mip levels), CPU time.
    double panoramaCpu = 0;
    double titleCpu = 0;
};

OpeningBuild measureOpeningBuild(const Options& options)
{
    const std::filesystem::path resources = halloweenResources();
    std::vector<double> wall;
    std::vector<double> cpu;
    std::vector<double> processCpu;
    for (int i = 0; i < 5; ++i) {
        if (i == 0) {
            OpeningSequence::forgetAtmosphereMaterial();
        }
        auto camera = platform::PerspectiveCamera::make("BenchCamera");
        const Clock::time_point start = Clock::now();
        const double cpuStart = threadCpuSeconds();
        const double processStart = processCpuSeconds();
        OpeningSequence opening(camera, resources);
        opening.layout(static_cast<float>(options.width) / static_cast<float>(options.height), 10.5F);
        opening.start();
        cpu.push_back(threadCpuSeconds() - cpuStart);
        processCpu.push_back(processCpuSeconds() - processStart);
        wall.push_back(secondsSince(start));
    }
    OpeningBuild build;
    build.first = wall.front();
    wall.erase(wall.begin());
    cpu.erase(cpu.begin());
    processCpu.erase(processCpu.begin());
    build.laterProcessCpu = median(processCpu);
    build.later = median(wall);
    build.laterCpu = median(cpu);
    build.count = wall.size();
    for (auto [file, cpuTime] : {std::pair{resources::openingPanorama, &build.panoramaCpu},
                                 std::pair{resources::openingTitle, &build.titleCpu}}) {
        std::vector<double> times;
        for (int i = 0; i < 3; ++i) {
            const double cpuStart = threadCpuSeconds();
            platform::TextureResource::load(resources / std::string(file));
            times.push_back(threadCpuSeconds() - cpuStart);
        }
        *cpuTime = median(times);
    }
    return build;
}

void printOpeningBuild(const OpeningBuild& build)
{
    std::printf("  building the opening          %8.1f ms first (shader read), %.1f ms median of %zu later "
                "(CPU: %.1f ms in all, %.1f ms on the main thread)\n",
                build.first * 1e3, build.later * 1e3, build.count, build.laterProcessCpu * 1e3, build.laterCpu * 1e3);
    std::printf("  its two pictures, side by side %7.1f ms CPU the panorama, %.1f ms the title (with mip levels)\n",
                build.panoramaCpu * 1e3, build.titleCpu * 1e3);
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
        if (options.openingOnly) {
            printOpeningBuild(measureOpeningBuild(options));
            return 0;
        }
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
        const double madeSeconds = secondsSince(constructed);
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
        std::vector<double> updateWall;
        updateWall.reserve(static_cast<std::size_t>(options.updates));
        int allocatingFrames = 0;
        long allocated = 0;
        for (int i = 0; i < options.updates; ++i) {
            now += step;
            const long before = allocations.load(std::memory_order_relaxed);
            const Clock::time_point start = Clock::now();
            view->render().scene().update(step);
            updateWall.push_back(secondsSince(start));
            const long count = allocations.load(std::memory_order_relaxed) - before;
            allocated += count;
            allocatingFrames += count > 0 ? 1 : 0;
        }

        // Frame updates under the opening, replayed as often as needed.
        view->startOpening();
        std::vector<double> openingWall;
        openingWall.reserve(static_cast<std::size_t>(options.updates));
        int openingAllocatingFrames = 0;
        for (int i = 0; i < options.updates; ++i) {
            if (!view->openingPlaying()) {
                view->startOpening();
            }
            now += step;
            const long before = allocations.load(std::memory_order_relaxed);
            const Clock::time_point start = Clock::now();
            view->render().scene().update(step);
            openingWall.push_back(secondsSince(start));
            openingAllocatingFrames += allocations.load(std::memory_order_relaxed) > before ? 1 : 0;
        }
        view->skipOpening();

        const OpeningBuild build = measureOpeningBuild(options);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);

        std::printf("Gloamyard scene benchmark (%dx%d, corsel, opening skipped but timed)\n", options.width,
                    options.height);
        std::printf("  construction (synchronous)    %8.3f s, with the opening\n", madeSeconds);
        std::printf("  construction to ready         %8.3f s\n", ready);
        printOpeningBuild(build);
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
        std::printf("  frame update, opening playing %8.4f ms median, %.4f ms p99, %d updates, %d allocated\n",
                    median(openingWall) * 1e3, percentile(openingWall, 0.99) * 1e3, options.updates,
                    openingAllocatingFrames);
        std::printf("  peak memory (max RSS)         %8.1f MB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
        view->stop();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "gloamyard-scene-bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
