#include "platform/render/FramePacing.h"

#include <algorithm>
#include <cmath>

namespace gloam::render {

double FramePacing::interval(double minimumInterval, double lastFrameCost, bool oneCore)
{
    // A frame that cost the process 50 ms of CPU time waits 50 ms before
    // the next begins: one core's worth. A bogus cost does not stall.
    const double cost = std::isfinite(lastFrameCost) ? std::clamp(lastFrameCost, 0.0, 1000.0) : 0.0;
    return oneCore ? std::max(minimumInterval, cost) : minimumInterval;
}

} // namespace gloam::render
