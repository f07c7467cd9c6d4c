#pragma once

namespace gloam::async {

// A clock that keeps running while the machine sleeps (CLOCK_BOOTTIME), so a
// task sleeping across a suspend wakes when its wall of real time has passed.
class ContinuousClock {
public:
    // Seconds since boot.
    static double now();
};

} // namespace gloam::async
