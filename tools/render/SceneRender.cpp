#include "tools/render/SceneRender.h"

#include "engine/export/SceneTrigger.h"
#include "engine/effects/OpeningSequence.h"
#include "engine/post/GhostBloom.h"
#include "engine/prefs/Vehicle.h"
#include "engine/scene/GhostView.h"
#include "engine/scene/HeadlessSceneDriver.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/render/RenderQuality.h"
#include "platform/render/Renderer.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace gloam;

void usage()
{
    std::printf("Usage: gloamyard-render --out FILE.png [--size WxH] [--at SECONDS[,SECONDS...]] [options]\n"
                "\n"
                "Renders the Gloamyard scene headless and writes a PNG. The scene is built\n"
                "and stepped at a fixed frame rate from its construction to --at, so the\n"
                "same command always gives the same picture.\n"
                "  --at SECONDS         scene time of the picture (default 20); several times in\n"
                "                       rising order (--at 1,3.5,7.75) write one picture each,\n"
                "                       named by the %%s of --out (--out opening-%%s.png)\n"
                "  --size WxH           picture size in pixels (default 1200x540)\n"
                "  --fps N              frames per second of the stepping (default 30)\n"
                "  --vehicle NAME       corsel, vantre, brusker or spirra (default corsel)\n"
                "  --yaw RAD            camera orbit angle (default -0.955)\n"
                "  --elevation RAD      camera elevation, 0.025 to 0.85 (default 0.044)\n"
                "  --skip-opening       skip the title sequence as soon as the scene can show;\n"
                "                       without it the opening plays from 0 (15.4 s long)\n"
                "  --manual             no automatic effects: only the --trigger ones happen\n"
                "  --seed N             the surprise schedule's seed (default 1)\n"
                "  --trigger WHAT@T     start an effect at scene time T (repeatable); WHAT is\n"
                "                       lightning, pumpkins, ghost (the tallest grave in view),\n"
                "                       ghost=ID, witch, hand, skyrell or amperle\n"
                "  --reduce-flashing    lightning lights the scene with a gentle rise and fall\n"
                "                       instead of flashing (the stored choice of the app and\n"
                "                       the screen saver is not read: without this, it flashes)\n"
                "  --quality TIER       auto (default: from the GL renderer, or GLOAMYARD_QUALITY),\n"
                "                       full or software\n"
                "  --log                print the scene's log lines\n"
                "\n"
                "gloamyard-render --video FILE.mp4 [options] exports a video with its sound\n"
                "(see gloamyard-render --video --help).\n"
                "The studio modes: gloamyard-render --test-scene ... and --model FILE.glb ...\n"
                "(see gloamyard-render --test-scene --help).\n");
}

struct Trigger {
    std::string what;
    double at = 0;
    bool done = false;
};

bool parseDouble(const char* text, double& value)
{
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0';
}

// "1,3.5,7.75": times in rising order, each also kept as written.
bool parseTimes(const std::string& text, std::vector<double>& times, std::vector<std::string>& texts)
{
    times.clear();
    texts.clear();
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        const std::string part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        double value = 0;
        if (!parseDouble(part.c_str(), value) || value < 0 || value > 3600 ||
            (!times.empty() && value <= times.back())) {
            return false;
        }
        times.push_back(value);
        texts.push_back(part);
        if (comma == std::string::npos) {
            return true;
        }
        start = comma + 1;
    }
}

// The picture file for one time: the %s of the pattern replaced by it.
std::string pictureFile(const std::string& pattern, const std::string& time)
{
    const std::size_t at = pattern.find("%s");
    if (time.empty() || at == std::string::npos) {
        return pattern;
    }
    return pattern.substr(0, at) + time + pattern.substr(at + 2);
}

[[noreturn]] void fail(const std::string& message)
{
    std::fprintf(stderr, "gloamyard-render: %s\n", message.c_str());
    std::exit(2);
}

} // namespace

bool wantsScene(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--test-scene") == 0 || std::strcmp(argv[i], "--model") == 0) {
            return false;
        }
    }
    return true;
}

int renderScene(int argc, char** argv)
{
    std::string out;
    int width = 1200;
    int height = 540;
    std::vector<double> times{20.0};
    std::vector<std::string> timeTexts{"20"};
    double fps = 30.0;
    Vehicle vehicle = Vehicle::corsel;
    std::optional<double> yaw;
    std::optional<double> elevation;
    bool skip = false;
    bool manual = false;
    bool printLog = false;
    bool reduceFlashing = false;
    std::uint64_t seed = 1;
    std::vector<Trigger> triggers;
    std::optional<render::QualityTier> quality;

    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        double number = 0;
        if (a == "--help" || a == "-h") {
            usage();
            return 0;
        } else if (a == "--out" && hasValue) {
            out = argv[++i];
        } else if (a == "--size" && hasValue) {
            if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0 || width > 8192 ||
                height > 8192) {
                fail("--size wants WIDTHxHEIGHT between 1 and 8192, e.g. 1200x540");
            }
        } else if (a == "--at" && hasValue) {
            if (!parseTimes(argv[++i], times, timeTexts)) {
                fail("--at wants seconds between 0 and 3600, or several in rising order separated by commas");
            }
        } else if (a == "--fps" && hasValue) {
            if (!parseDouble(argv[++i], fps) || fps < 1 || fps > 240) {
                fail("--fps wants a number between 1 and 240");
            }
        } else if (a == "--vehicle" && hasValue) {
            const auto chosen = vehicleFromRawValue(argv[++i]);
            if (!chosen) {
                fail(std::string("--vehicle wants corsel, vantre, brusker or spirra, not \u201c") + argv[i] + "\u201d");
            }
            vehicle = *chosen;
        } else if ((a == "--yaw" || a == "--elevation") && hasValue) {
            if (!parseDouble(argv[++i], number)) {
                fail(a + " wants a number of radians");
            }
            (a == "--yaw" ? yaw : elevation) = number;
        } else if (a == "--seed" && hasValue) {
            char* end = nullptr;
            seed = std::strtoull(argv[++i], &end, 10);
            if (end == argv[i] || *end != '\0') {
                fail("--seed wants a whole number");
            }
        } else if (a == "--trigger" && hasValue) {
            const std::string spec = argv[++i];
            const auto atSign = spec.rfind('@');
            Trigger trigger;
            trigger.what = spec.substr(0, atSign);
            if (atSign == std::string::npos || !gloam::SceneTrigger::known(trigger.what) ||
                !parseDouble(spec.substr(atSign + 1).c_str(), trigger.at) || trigger.at < 0) {
                fail("--trigger wants WHAT@SECONDS, e.g. pumpkins@20 (see --help), not \u201c" + spec + "\u201d");
            }
            triggers.push_back(trigger);
        } else if (a == "--quality" && hasValue) {
            if (!render::RenderQuality::parse(argv[++i], quality)) {
                fail(std::string("--quality wants auto, full or software, not \u201c") + argv[i] + "\u201d");
            }
        } else if (a == "--skip-opening") {
            skip = true;
        } else if (a == "--manual") {
            manual = true;
        } else if (a == "--log") {
            printLog = true;
        } else if (a == "--reduce-flashing") {
            reduceFlashing = true;
        } else {
            fail("unknown argument \u201c" + a + "\u201d (see --help)");
        }
    }
    if (out.empty()) {
        usage();
        return 2;
    }
    if (times.size() > 1 && out.find("%s") == std::string::npos) {
        fail("--out wants a %s, which becomes each time, when --at names several");
    }

    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QCoreApplication app(qtArgc, qtArgv);
    try {
        HeadlessSceneDriver driver(width, height);
        driver.renderer().setQualityTier(render::RenderQuality::choose(driver.device()->rendererName(), quality));
        // The picture is drawn at its full size whatever the frames cost, so
        // that one command always gives the same picture.
        driver.renderer().resolution().pin(render::DynamicResolution::maximumScale);
        double now = 0;
        GhostView::Environment environment;
        environment.uptime = [&now] { return now; };
        environment.eggSeed = seed;
        environment.reduceFlashing = reduceFlashing;
        environment.log = [printLog](const std::string& line, bool) {
            if (printLog) {
                std::printf("%s\n", line.c_str());
            }
        };
        auto view = GhostView::make({0, 0, static_cast<float>(width), static_cast<float>(height)}, true, vehicle,
                                    SoundMode::preview, environment);
        if (yaw || elevation) {
            view->setCameraAngles(static_cast<float>(yaw.value_or(view->yaw())),
                                  static_cast<float>(elevation.value_or(view->elevation())));
        }
        if (manual) {
            view->setAutomatic(false);
        }
        if (skip) {
            view->skipOpening();
        }

        // The load runs on the event loop; it finishes before the first
        // frame, so that frame numbers, not loading speed, decide the picture.
        while (!view->isReady() && !view->isStopped()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
        }
        if (view->isStopped()) {
            std::fprintf(stderr, "gloamyard-render: the scene could not be loaded (run with --log to see why)\n");
            return 1;
        }

        // Whole frames at the chosen rate; the frame that reaches a picture's
        // time is shortened so that the picture shows exactly that time
        // (the opening's moments fall between frames of most rates).
        const double step = 1.0 / fps;
        int frame = 0;
        driver.present(*view, 0.0);
        for (std::size_t picture = 0; picture < times.size(); ++picture) {
            const double at = times[picture];
            while (now < at - 1e-9) {
                ++frame;
                const double previous = now;
                now = std::min(frame * step, at);
                const double delta = now - previous;
                for (Trigger& trigger : triggers) {
                    // Like every caller, the tool holds triggers back while the opening plays.
                    if (!trigger.done && trigger.at <= now + 1e-9 && !view->openingPlaying()) {
                        trigger.done = true;
                        gloam::SceneTrigger::fire(*view, trigger.what);
                    }
                }
                // Frames are drawn while the post-process warms up and for
                // the pictures themselves; the others are frame updates only
                // (the scene's state does not depend on drawing), which keeps
                // long runs quick on a software GPU.
                if (now >= at - 1e-9 || !view->bloom()->sceneWarmed()) {
                    driver.present(*view, delta);
                } else {
                    view->render().scene().update(delta);
                }
            }
            const std::string file = pictureFile(out, times.size() > 1 ? timeTexts[picture] : std::string());
            driver.writePng(file);
            std::printf("gloamyard-render: wrote %s (%dx%d, %s at %.2f s, %d frames)\n", file.c_str(), width, height,
                        std::string(rawValue(vehicle)).c_str(), at, frame);
        }
        view->stop();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "gloamyard-render: %s\n", error.what());
        return 1;
    }
    return 0;
}
