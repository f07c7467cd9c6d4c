#pragma once

#include "engine/prefs/Vehicle.h"
#include "tools/soak/SoakSample.h"

#include <cstdint>
#include <vector>

namespace gloam::soak {

// Runs the whole scene headless for a span of scene time, the way a long
// night in the app runs it: the real renderer and post-process, every
// frame drawn, the opening first, automatic effects and surprises on, a
// fixed surprise seed. Scene time advances by a fixed step per frame, so a
// small picture runs faster than real time. Prints one sample per scene
// minute, then the table per ten minutes and the trend after settling.
class SceneSoak {
public:
    struct Options {
        int minutes = 20;
        int width = 320;
        int height = 144;
        double step = 1.0 / 30.0; // seconds of scene time per frame
        std::uint64_t seed = 1;
        Vehicle vehicle = Vehicle::corsel;
        double settled = 5.0; // minutes before the trend is counted
    };

    explicit SceneSoak(Options options);
    // Throws std::runtime_error when the scene cannot be drawn or loaded.
    std::vector<SoakSample> run();

    // The samples of every tenth minute as a Markdown table.
    static void printTable(const std::vector<SoakSample>& samples);

private:
    Options options_;
};

} // namespace gloam::soak
