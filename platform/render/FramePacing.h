#pragma once

namespace gloam::render {

// How much of the machine a window's frame loop may take.
//
// A window asks for its next frame no sooner than the quality tier's
// interval (its frame-rate cap). Held to one core (the screen saver, a
// window without focus), it also waits at least as long as the last frame
// cost the process in CPU time, so that it never takes more than one core;
// the focused app's window may use every core up to its cap.
struct FramePacing {
    enum class Rule { oneCore, everyCoreWhileFocused };

    // Milliseconds from the start of one frame to the start of the next.
    static double interval(double minimumInterval, double lastFrameCost, bool oneCore);
};

} // namespace gloam::render
