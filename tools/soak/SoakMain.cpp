// Memory over a long night: the whole scene for many minutes of scene
// time, or the screen saver's view made and released many times in one
// process, with the process's memory, open files, the renderer's GPU
// resource cache and the live meshes and textures read as it goes.

#include "tools/soak/FirstRuns.h"
#include "tools/soak/SceneSoak.h"
#include "tools/soak/ViewCycles.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

namespace {

using namespace gloam;

[[noreturn]] void usage()
{
    std::fprintf(stderr, "Usage: gloamyard-soak --minutes N [--size WxH] [--step SECONDS] [--seed N] [--vehicle NAME]\n"
                         "       gloamyard-soak --view-cycles N [--size WxH] [--frames N]\n"
                         "       gloamyard-soak --first-runs [--size WxH]\n"
                         "  --minutes      scene minutes to run the whole scene for, opening first\n"
                         "  --size         the drawn picture (default 320x144)\n"
                         "  --step         scene seconds per drawn frame (default 0.0333; the app's frames\n"
                         "                 are 1/60 s, a larger step runs more scene time per frame)\n"
                         "  --seed         the surprises' seed (default 1)\n"
                         "  --vehicle      corsel, vantre, brusker or spirra (default corsel)\n"
                         "  --view-cycles  make, run and release the screen saver's view N times\n"
                         "  --frames       frames drawn per view cycle once its scene is ready (default 60)\n"
                         "  --first-runs   what each effect's first and second run add, played by hand\n"
                         "Sound plays through OpenAL; ALSOFT_DRIVERS=null gives a device that plays into nothing.\n");
    std::exit(2);
}

int positive(const char* text)
{
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value <= 0 || value > 100000) {
        usage();
    }
    return static_cast<int>(value);
}

} // namespace

int main(int argc, char** argv)
{
    soak::SceneSoak::Options scene;
    soak::ViewCycles::Options cycles;
    bool runCycles = false;
    bool runScene = false;
    bool runFirstRuns = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--minutes" && hasValue) {
            scene.minutes = positive(argv[++i]);
            runScene = true;
        } else if (a == "--view-cycles" && hasValue) {
            cycles.cycles = positive(argv[++i]);
            runCycles = true;
        } else if (a == "--size" && hasValue) {
            int width = 0, height = 0;
            char rest = 0;
            if (std::sscanf(argv[++i], "%dx%d%c", &width, &height, &rest) != 2 || width < 16 || height < 16 ||
                width > 8192 || height > 8192) {
                usage();
            }
            scene.width = cycles.width = width;
            scene.height = cycles.height = height;
        } else if (a == "--step" && hasValue) {
            char* end = nullptr;
            scene.step = std::strtod(argv[++i], &end);
            if (*end != '\0' || !(scene.step >= 0.001 && scene.step <= 0.5)) {
                usage();
            }
        } else if (a == "--seed" && hasValue) {
            char* end = nullptr;
            scene.seed = std::strtoull(argv[++i], &end, 10);
            if (*end != '\0' || scene.seed == 0) {
                usage();
            }
        } else if (a == "--vehicle" && hasValue) {
            const std::string name = argv[++i];
            bool found = false;
            for (const Vehicle vehicle : allVehicles) {
                if (rawValue(vehicle) == name) {
                    scene.vehicle = vehicle;
                    found = true;
                }
            }
            if (!found) {
                usage();
            }
        } else if (a == "--first-runs") {
            runFirstRuns = true;
        } else if (a == "--frames" && hasValue) {
            cycles.frames = positive(argv[++i]);
        } else {
            usage();
        }
    }
    if ((runScene ? 1 : 0) + (runCycles ? 1 : 0) + (runFirstRuns ? 1 : 0) != 1) {
        usage();
    }

    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QCoreApplication app(qtArgc, qtArgv);
    try {
        if (runScene) {
            soak::SceneSoak(scene).run();
        } else if (runFirstRuns) {
            soak::FirstRuns({scene.width, scene.height, 0.1}).run();
        } else {
            soak::ViewCycles(cycles).run();
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "gloamyard-soak: %s\n", error.what());
        return 1;
    }
    return 0;
}
