// The whole scene's benchmark: how long a view takes from construction to
// ready, what a drawn frame with bloom and fog costs headless at each
// output size (wall time, the process's CPU time, the scale the renderer
// chose, and how far the picture is from the full-quality one of the same
// scene time), what one frame update costs with everything loaded (no
// drawing), whether such frames allocate, what a rising ghost's frames, the charging
// surprise's staging search and the frames of each surprise cost, what
// building the opening costs and an opening frame's update, and the
// process's peak memory.

#include "engine/effects/GraveGhostEffect.h"
#include "engine/effects/OpeningSequence.h"
#include "engine/eggs/EasterEggEffects.h"
#include "engine/common/HalloweenResources.h"
#include "platform/assets/TextureResource.h"
#include "resources/ResourceFiles.h"
#include "engine/post/GhostBloom.h"
#include "engine/scene/GhostView.h"
#include "engine/scene/HeadlessSceneDriver.h"
#include "platform/render/DynamicResolution.h"
#include "platform/render/RenderQuality.h"
#include "platform/render/Renderer.h"
#include "resources/SceneLandmarks.h"
#include "tests/support/AllocationCounter.h"

#include <QCoreApplication>

#include <algorithm>
#include <numeric>
#include <chrono>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <string>
#include <sys/resource.h>
#include <vector>

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
        const long before = testing::allocationCount();
        const Clock::time_point start = Clock::now();
        view.render().scene().update(step);
        cost.wall.push_back(secondsSince(start));
        const long made = testing::allocationCount() - before;
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

struct Size {
    int width = 0;
    int height = 0;
};

struct Options {
    std::vector<Size> sizes;
    int updates = 6000;
    int drawn = 24;
    std::optional<render::QualityTier> quality; // none: from the renderer
    std::string pictures;                       // folder for the compared pictures
    float scale = 0.0f;                         // pinned scale; 0: dynamic
    bool openingOnly = false;                   // time building the opening, nothing else
    std::vector<std::string> without;           // software-tier measures turned off
    std::vector<std::string> compare;           // measures timed on and off, interleaved
    int rounds = 6;                             // on/off rounds of a comparison
};

// The software tier's measures that a run can turn off (`--without`) or
// time on against off (`--compare`), by name.
struct Lever {
    const char* name;
    bool render::RenderQuality::*flag;
};

const std::vector<Lever>& levers()
{
    static const std::vector<Lever> all = {
        {"kept-shadow", &render::RenderQuality::keepStillShadows},
        {"draw-lights", &render::RenderQuality::perDrawLights},
        {"mesh-parts", &render::RenderQuality::chunkLargeMeshes},
        {"stand-ins", &render::RenderQuality::smallDrawStandIns},
        {"lighter-meshes", &render::RenderQuality::lighterMeshes},
        {"blit-present", &render::RenderQuality::presentByBlit},
        {"quarter-post", &render::RenderQuality::quarterSizePost},
    };
    return all;
}

const Lever* findLever(const std::string& name)
{
    for (const Lever& lever : levers()) {
        if (name == lever.name)
            return &lever;
    }
    return nullptr;
}

render::RenderQuality withoutLevers(render::RenderQuality quality, const std::vector<std::string>& names)
{
    for (const std::string& name : names)
        quality.*(findLever(name)->flag) = false;
    return quality;
}

[[noreturn]] void usage()
{
    std::fprintf(stderr, "Usage: gloamyard-scene-bench [--size WxH]... [--updates N] [--frames N]\n"
                         "                            [--quality auto|full|software] [--pictures DIR]\n"
                         "  --size      a drawn frame size; repeatable (default 1200x540 and 1920x1080)\n"
                         "  --updates   frame updates timed without drawing (default 6000)\n"
                         "  --frames    drawn frames timed after the warm-up (default 24)\n"
                         "  --quality   the renderer's quality tier (default auto: from the GL renderer,\n"
                         "              or GLOAMYARD_QUALITY)\n"
                         "  --scale     draw at this scale (0.25 to 1) instead of the dynamic one\n"
                         "  --pictures  write the compared frames there (tier.png and full.png per size)\n"
                         "  --opening-only  time building the opening, nothing else\n"
                         "  --without LEVER   turn a software-tier measure off (repeatable)\n"
                         "  --compare LEVER   time frames with the measure on and off, interleaved (repeatable)\n"
                         "  --rounds N        on/off rounds of each comparison (default 6, 4 frames each)\n"
                         "  levers:");
    for (const Lever& lever : levers())
        std::fprintf(stderr, " %s", lever.name);
    std::fprintf(stderr, "\n");
    std::exit(2);
}

Options parse(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        Size size;
        if (a == "--size" && i + 1 < argc && std::sscanf(argv[i + 1], "%dx%d", &size.width, &size.height) == 2 &&
            size.width > 0 && size.height > 0 && size.width <= 8192 && size.height <= 8192) {
            options.sizes.push_back(size);
            ++i;
        } else if (a == "--updates" && i + 1 < argc && (options.updates = std::atoi(argv[i + 1])) > 0) {
            ++i;
        } else if (a == "--frames" && i + 1 < argc && (options.drawn = std::atoi(argv[i + 1])) > 0) {
            ++i;
        } else if (a == "--quality" && i + 1 < argc && render::RenderQuality::parse(argv[i + 1], options.quality)) {
            ++i;
        } else if (a == "--scale" && i + 1 < argc &&
                   (options.scale = std::strtof(argv[i + 1], nullptr)) >= render::DynamicResolution::lowestFloor &&
                   options.scale <= 1.0f) {
            ++i;
        } else if (a == "--pictures" && i + 1 < argc) {
            options.pictures = argv[++i];
        } else if ((a == "--without" || a == "--compare") && i + 1 < argc && findLever(argv[i + 1]) != nullptr) {
            (a == "--without" ? options.without : options.compare).push_back(argv[++i]);
        } else if (a == "--rounds" && i + 1 < argc && (options.rounds = std::atoi(argv[i + 1])) > 0) {
            ++i;
        } else if (a == "--opening-only") {
            options.openingOnly = true;
        } else {
            usage();
        }
    }
    if (options.sizes.empty())
        options.sizes = {{1200, 540}, {1920, 1080}};
    return options;
}

// Peak signal-to-noise ratio of two RGBA pictures over their colour, in dB.
double psnr(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b)
{
    if (a.size() != b.size() || a.empty())
        return 0.0;
    double sum = 0.0;
    std::size_t count = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (i % 4 == 3)
            continue;
        const double d = static_cast<double>(a[i]) - static_cast<double>(b[i]);
        sum += d * d;
        ++count;
    }
    const double mse = sum / static_cast<double>(count);
    return mse <= 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

double loadAverage()
{
    double load[1] = {0.0};
    return getloadavg(load, 1) == 1 ? load[0] : -1.0;
}

struct Loaded {
    std::shared_ptr<GhostView> view;
    double readySeconds = 0;
};

Loaded load(int width, int height, double& now)
{
    GhostView::Environment environment;
    environment.uptime = [&now] { return now; };
    environment.eggSeed = 1;
    environment.log = [](const std::string&, bool) {};
    // Construction to ready: the load runs on the event loop, its file and
    // shape work on the worker pool.
    const Clock::time_point constructed = Clock::now();
    auto view = GhostView::make({0, 0, static_cast<float>(width), static_cast<float>(height)}, true, Vehicle::corsel,
                                SoundMode::preview, environment);
    view->skipOpening();
    while (!view->isReady() && !view->isStopped()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    }
    if (view->isStopped())
        throw std::runtime_error("the scene could not be loaded");
    return {view, secondsSince(constructed)};
}

// One measure timed on against off in the same minute: rounds of a few
// frames each way, alternating, at the scale the frames settled on, so
// that other programs' load falls on both alike.
std::string compareLever(HeadlessSceneDriver& driver, GhostView& view, double& now, const Lever& lever, int rounds)
{
    render::Renderer& renderer = driver.renderer();
    const render::RenderQuality settings = renderer.quality();
    renderer.resolution().pin(renderer.renderScale());
    const double step = 1.0 / 60.0;
    constexpr int framesPerRound = 4;
    std::vector<double> cpu[2], wall[2];
    for (int round = 0; round < rounds; ++round) {
        for (int on = 0; on < 2; ++on) {
            const int variant = round % 2 == 0 ? on : 1 - on;
            render::RenderQuality quality = settings;
            quality.*(lever.flag) = variant == 1 && settings.*(lever.flag);
            renderer.setQuality(quality);
            renderer.resolution().pin(renderer.renderScale());
            // The first frame after a switch makes what the measure keeps.
            now += step;
            driver.present(view, step);
            for (int i = 0; i < framesPerRound; ++i) {
                now += step;
                const double cpuStart = processCpuSeconds();
                const Clock::time_point start = Clock::now();
                driver.present(view, step);
                wall[variant].push_back(secondsSince(start));
                cpu[variant].push_back(processCpuSeconds() - cpuStart);
            }
        }
    }
    renderer.setQuality(settings);
    char line[320];
    std::snprintf(line, sizeof line,
                  "    lever %-14s         on %.1f ms CPU (%.1f wall), off %.1f ms CPU (%.1f wall), median of %d "
                  "frames each, interleaved (load average %.1f)\n",
                  lever.name, median(cpu[1]) * 1e3, median(wall[1]) * 1e3, median(cpu[0]) * 1e3, median(wall[0]) * 1e3,
                  rounds * framesPerRound, loadAverage());
    return line;
}

// The scene times at which the tier's picture is compared with the full
// quality's, after the timed frames (a few seconds of scene time with five
// comparisons; a longer run compares at the time it reached).
constexpr double comparedSceneTimes[] = {12.0, 16.0, 20.0};

// The drawn frames of one output size.
void drawnFrames(const Options& options, Size size, bool first)
{
    HeadlessSceneDriver driver(size.width, size.height);
    render::Renderer& renderer = driver.renderer();
    if (options.quality)
        renderer.setQualityTier(*options.quality);
    const render::QualityTier tier = renderer.quality().tier;
    renderer.setQuality(withoutLevers(renderer.quality(), options.without));
    renderer.resolution().pin(options.scale);
    double now = 0;
    Loaded loaded = load(size.width, size.height, now);
    GhostView& view = *loaded.view;

    // The first frames warm the post-process up; then the scale settles
    // (no change over three of its decisions, or 90 frames).
    const double step = 1.0 / 60.0;
    int warmup = 0;
    const Clock::time_point firstFrame = Clock::now();
    while (!view.bloom()->sceneWarmed() && warmup < 60) {
        now += step;
        driver.present(view, step);
        ++warmup;
    }
    const double warmupSeconds = secondsSince(firstFrame);
    int settle = 0;
    for (int unchanged = 0; settle < 90 && unchanged < 3 * render::DynamicResolution::framesPerDecision; ++settle) {
        const float before = renderer.renderScale();
        now += step;
        driver.present(view, step);
        unchanged = renderer.renderScale() == before ? unchanged + 1 : 0;
    }

    std::vector<double> wall;
    float lowest = 1.0f, highest = 0.0f;
    const double cpuBefore = processCpuSeconds();
    for (int i = 0; i < options.drawn; ++i) {
        now += step;
        const Clock::time_point start = Clock::now();
        driver.present(view, step);
        wall.push_back(secondsSince(start));
        lowest = std::min(lowest, renderer.renderScale());
        highest = std::max(highest, renderer.renderScale());
    }
    const double cpu = (processCpuSeconds() - cpuBefore) / options.drawn;
    const float scale = renderer.renderScale();
    std::vector<std::string> comparisons;
    for (const std::string& name : options.compare)
        comparisons.push_back(compareLever(driver, view, now, *findLever(name), options.rounds));
    renderer.resolution().pin(options.scale);
    renderer.resolution().reset(scale);
    // What the comparisons turned off is made again before the measured frame.
    for (int i = 0; i < (comparisons.empty() ? 0 : 3); ++i) {
        now += step;
        driver.present(view, step);
    }

    // One more frame with the GPU waited on between stages, for where the
    // time goes (slower than a normal frame).
    renderer.setMeasuring(true);
    now += step;
    driver.present(view, step);
    const render::Renderer::StageTimes stages = renderer.stageTimes();
    const render::Renderer::StageTimes stageCpu = renderer.stageCpuTimes();
    const render::Renderer::DrawCounts counts = renderer.drawCounts();
    renderer.setMeasuring(false);

    // The tier's picture against full quality and full size at the same
    // scene times, fixed so that the figure does not follow how many
    // frames the run timed (the scene moves: fog, fireflies, the cloth).
    std::vector<double> agreement;
    const std::string folder = options.pictures.empty() ? "" : options.pictures + "/";
    const std::string label = std::to_string(size.width) + "x" + std::to_string(size.height);
    const render::RenderQuality measured = renderer.quality();
    for (const double at : comparedSceneTimes) {
        // Steps of a quarter second at the settled scale bring the scene there.
        renderer.setQuality(measured);
        renderer.resolution().pin(scale);
        while (now + 1e-9 < at) {
            const double next = std::min(at, now + 0.25);
            driver.present(view, next - now);
            now = next;
        }
        driver.redraw();
        const std::vector<std::uint8_t> tierPicture = driver.readPixels();
        const std::string name = folder + label + "-" + std::to_string(static_cast<int>(at)) + "s-";
        if (!folder.empty())
            driver.writePng(name + render::RenderQuality::name(tier) + ".png");
        renderer.setQualityTier(render::QualityTier::full);
        renderer.resolution().pin(0.0f);
        driver.redraw();
        agreement.push_back(psnr(tierPicture, driver.readPixels()));
        if (!folder.empty())
            driver.writePng(name + "full.png");
    }

    if (first) {
        std::printf("  construction to ready         %8.3f s\n", loaded.readySeconds);
        std::printf("  post-process warm-up          %8d frames, %.2f s\n", warmup, warmupSeconds);
    }
    std::printf("  %s, %s tier (load average %.1f)\n", label.c_str(), render::RenderQuality::name(tier), loadAverage());
    std::printf("    drawn frame, wall            %8.1f ms median, %.1f ms p90, %d frames after %d settling\n",
                median(wall) * 1e3, percentile(wall, 0.9) * 1e3, options.drawn, settle);
    std::printf("    drawn frame, CPU (process)   %8.1f ms\n", cpu * 1e3);
    std::printf("    scale                        %8.2f (%.2f to %.2f while timed; %dx%d drawn)\n", scale, lowest,
                highest, render::DynamicResolution::scaled(size.width, scale),
                render::DynamicResolution::scaled(size.height, scale));
    std::printf("    PSNR against full quality    %8.2f dB lowest, %.2f dB mean (scene times",
                *std::min_element(agreement.begin(), agreement.end()),
                std::accumulate(agreement.begin(), agreement.end(), 0.0) / static_cast<double>(agreement.size()));
    for (const double at : comparedSceneTimes)
        std::printf(" %.0f", at);
    std::printf(" s)\n");
    std::printf("    one frame's stages           shadow %.0f ms, opaque %.0f ms, transparent %.0f ms, "
                "post-process %.0f ms, present %.0f ms\n",
                stages.shadow, stages.opaque, stages.transparent, stages.postProcess, stages.present);
    std::printf("    the same stages in CPU time  shadow %.0f ms, opaque %.0f ms, transparent %.0f ms, "
                "post-process %.0f ms, present %.0f ms\n",
                stageCpu.shadow, stageCpu.opaque, stageCpu.transparent, stageCpu.postProcess, stageCpu.present);
    std::printf("    draws                        %d drawn (%ld triangles), %d culled; %d shadow casters (%d kept, "
                "%ld triangles drawn), %d culled\n",
                counts.drawn, counts.triangles, counts.culled, counts.shadowCasters, counts.shadowKept,
                counts.shadowTriangles, counts.shadowCulled);
    for (const std::string& line : comparisons)
        std::fputs(line.c_str(), stdout);
    view.stop();
}

// Frame updates alone: the clocks, the gating and the atmosphere with the
// automatic effects running, as the scene's update event calls them.
void frameUpdates(const Options& options)
{
    const Size size = options.sizes.front();
    HeadlessSceneDriver driver(size.width, size.height);
    double now = 0;
    Loaded loaded = load(size.width, size.height, now);
    GhostView& view = *loaded.view;
    const double step = 1.0 / 60.0;
    while (!view.bloom()->sceneWarmed()) {
        now += step;
        driver.present(view, step);
    }
    // Frame updates alone: the clocks, the gating and the atmosphere with
    // the automatic effects running, as the scene's update event calls them.
    for (int i = 0; i < 600; ++i) {
        now += step;
        view.render().scene().update(step);
    }
    const UpdateCost plain = timeUpdates(view, now, step, options.updates);
    std::printf("  frame update alone            %8.4f ms median, %.4f ms p99, %d updates (%.1f s of scene)\n",
                median(plain.wall) * 1e3, percentile(plain.wall, 0.99) * 1e3, options.updates, options.updates * step);
    std::printf("  updates that allocated        %8d of %d (%ld allocations)\n", plain.allocatingFrames,
                options.updates, plain.allocations);

    // The charging station's staging search from three points of the orbit
    // (the default view first), the props and the hand in the way.
    EasterEggEffects& eggs = *view.eggEffects();
    const float aspect = static_cast<float>(size.width) / static_cast<float>(size.height);
    for (const float yaw : {landmarks::cameraYaw, 0.6F, 2.4F}) {
        view.setCameraAngles(yaw, landmarks::cameraElevation);
        const auto obstacles = chargerObstacles(view);
        std::vector<double> runs;
        std::vector<double> cpu;
        bool found = false;
        for (int i = 0; i < 15; ++i) {
            const Clock::time_point start = Clock::now();
            const double cpuStart = threadCpuSeconds();
            found = eggs.prepareCharging(view.camera()->worldMatrix(), aspect, view.vehicle(), obstacles);
            cpu.push_back(threadCpuSeconds() - cpuStart);
            runs.push_back(secondsSince(start));
        }
        std::printf("  charging staging search       %8.2f ms median wall, %.2f ms CPU, yaw %.3f, %s\n",
                    median(runs) * 1e3, median(cpu) * 1e3, yaw, found ? "placed" : "no place");
    }
    view.setCameraAngles(landmarks::cameraYaw, landmarks::cameraElevation);

    // Frame updates while each surprise plays (the preview starts it at
    // once; the frame of the start itself is not timed).
    for (const EasterEgg egg : allEasterEggs) {
        while (view.easterEggs().active) {
            now += step;
            view.render().scene().update(step);
        }
        view.previewEgg(egg);
        if (view.easterEggs().active != egg) {
            std::fprintf(stderr, "gloamyard-scene-bench: the %s surprise did not start\n",
                         std::string(rawValue(egg)).c_str());
            continue;
        }
        const int frames = static_cast<int>(duration(egg) / step) - 1;
        const UpdateCost cost = timeUpdates(view, now, step, frames);
        std::printf("  frame update, %-8s         %8.4f ms median, %.4f ms p99, %d of %zu allocated (%ld)\n",
                    std::string(rawValue(egg)).c_str(), median(cost.wall) * 1e3, percentile(cost.wall, 0.99) * 1e3,
                    cost.allocatingFrames, cost.wall.size(), cost.allocations);
    }

    // A ghost rising, over and over from the tallest grave in view, with the
    // other automatic effects off: the frames that re-sample its cloth and
    // the frames in between, which only move it.
    view.setAutomatic(false);
    std::vector<double> ghostWall;
    std::vector<double> rebuildWall;
    std::vector<double> betweenWall;
    int betweenAllocating = 0;
    if (const GraveGhostEffect* ghost = view.graveGhost()) {
        for (int i = 0; i < options.updates; ++i) {
            if (!view.reactions().ghostAge()) {
                view.triggerGhost(std::nullopt);
            }
            if (!view.reactions().ghostAge()) {
                break; // no grave in view
            }
            now += step;
            const long meshFrame = ghost->lastMeshFrame();
            const long before = testing::allocationCount();
            const Clock::time_point start = Clock::now();
            view.render().scene().update(step);
            const double wall = secondsSince(start);
            const long count = testing::allocationCount() - before;
            ghostWall.push_back(wall);
            if (ghost->lastMeshFrame() != meshFrame) {
                rebuildWall.push_back(wall);
            } else {
                betweenWall.push_back(wall);
                betweenAllocating += count > 0 ? 1 : 0;
            }
        }
    }
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
    // Frame updates under the opening, replayed as often as needed.
    view.startOpening();
    std::vector<double> openingWall;
    openingWall.reserve(static_cast<std::size_t>(options.updates));
    int openingAllocatingFrames = 0;
    for (int i = 0; i < options.updates; ++i) {
        if (!view.openingPlaying()) {
            view.startOpening();
        }
        now += step;
        const long before = testing::allocationCount();
        const Clock::time_point start = Clock::now();
        view.render().scene().update(step);
        openingWall.push_back(secondsSince(start));
        openingAllocatingFrames += testing::allocationCount() > before ? 1 : 0;
    }
    view.skipOpening();
    std::printf("  frame update, opening playing %8.4f ms median, %.4f ms p99, %d updates, %d allocated\n",
                median(openingWall) * 1e3, percentile(openingWall, 0.99) * 1e3, options.updates,
                openingAllocatingFrames);
    view.stop();
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
    // The opening's materials are made on the running GPU device.
    HeadlessSceneDriver driver(options.sizes.front().width, options.sizes.front().height);
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
        opening.layout(static_cast<float>(options.sizes.front().width) /
                           static_cast<float>(options.sizes.front().height),
                       landmarks::fieldOfViewDegrees);
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
        if (options.openingOnly) {
            printOpeningBuild(measureOpeningBuild(options));
            return 0;
        }
        std::printf("Gloamyard scene benchmark (corsel, opening skipped)\n");
        bool first = true;
        for (const Size& size : options.sizes) {
            drawnFrames(options, size, first);
            first = false;
        }
        frameUpdates(options);
        printOpeningBuild(measureOpeningBuild(options));
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("  peak memory (max RSS)         %8.1f MB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "gloamyard-scene-bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
