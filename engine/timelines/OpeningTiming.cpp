#include "engine/timelines/OpeningTiming.h"

#include <algorithm>

namespace gloam {

void OpeningTiming::start()
{
    time = 0;
    playing = true;
}

void OpeningTiming::skip()
{
    time = duration;
    playing = false;
}

void OpeningTiming::advance(double delta)
{
    if (!playing) {
        return;
    }
    time += std::max(delta, 0.0);
    if (time >= duration) {
        time = duration;
        playing = false;
    }
}

float OpeningTiming::ease(double x)
{
    const auto a = static_cast<float>(std::clamp(x, 0.0, 1.0));
    return a * a * (3.0F - 2.0F * a);
}

float OpeningTiming::pan(double t)
{
    return ease((t - 9.8) / 2.6);
}

float OpeningTiming::dissolve(double t)
{
    return ease((t - 14.15) / 1.25);
}

float OpeningTiming::gentleDissolve(double t)
{
    constexpr double start = 12.4;
    return static_cast<float>(std::clamp((t - start) / (duration - start), 0.0, 1.0));
}

float OpeningTiming::titleOpacity(double t)
{
    return 1.0F - ease((t - 6.1) / 1.4);
}

} // namespace gloam
