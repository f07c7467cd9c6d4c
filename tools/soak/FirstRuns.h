#pragma once

namespace gloam::soak {

// What each effect's first run adds to the process, and what its second
// run adds: the scene loaded and settled with the automatic effects off,
// then each effect played by hand twice, frames drawn until it is over,
// memory and counts read before and after each run.
class FirstRuns {
public:
    struct Options {
        int width = 320;
        int height = 144;
        double step = 0.1; // scene seconds per drawn frame
    };

    explicit FirstRuns(Options options);
    // Throws std::runtime_error when the scene cannot be loaded.
    void run();

private:
    Options options_;
};

} // namespace gloam::soak
