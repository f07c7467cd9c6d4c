#pragma once

#include "tools/soak/SoakSample.h"

#include <vector>

namespace gloam::soak {

// The screen saver's view made and released over and over in one process,
// as a host that blanks and unblanks the screen many times does: each
// cycle makes the saver's view controller and view, attaches it to a
// window, starts it, waits for its scene to load, draws frames through the
// real renderer and post-process, stops it and drops everything but the
// window and its GL context (which a saver process keeps). Prints one
// sample per cycle and the trend after the first cycles.
class ViewCycles {
public:
    struct Options {
        int cycles = 50;
        int width = 320;
        int height = 144;
        int frames = 60; // drawn per cycle once the scene is ready
        int settled = 5; // cycles before the trend is counted
    };

    explicit ViewCycles(Options options);
    // Throws std::runtime_error when a cycle's scene does not load.
    std::vector<SoakSample> run();

private:
    Options options_;
};

} // namespace gloam::soak
