#include "platform/render/FrameStatistics.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace gloam::render {

bool FrameStatistics::requested(const char* environmentValue)
{
    return environmentValue != nullptr && std::strcmp(environmentValue, "1") == 0;
}

std::optional<std::string> FrameStatistics::sample(std::uint64_t presentedFrames, double cpuMilliseconds,
                                                   double wallMilliseconds)
{
    if (!started_ || presentedFrames < frames_ || wallMilliseconds < wall_) {
        started_ = true;
        frames_ = presentedFrames;
        cpu_ = cpuMilliseconds;
        wall_ = wallMilliseconds;
        return std::nullopt;
    }
    const double elapsed = wallMilliseconds - wall_;
    if (elapsed < periodMilliseconds)
        return std::nullopt;
    const double fps = static_cast<double>(presentedFrames - frames_) * 1000.0 / elapsed;
    const double cpu = std::max(cpuMilliseconds - cpu_, 0.0) * 100.0 / elapsed;
    frames_ = presentedFrames;
    cpu_ = cpuMilliseconds;
    wall_ = wallMilliseconds;
    return line(fps, cpu);
}

std::string FrameStatistics::line(double framesPerSecond, double cpuPercent)
{
    char text[64];
    std::snprintf(text, sizeof text, "frame-stats fps=%.1f cpu=%.0f%%", framesPerSecond, cpuPercent);
    return text;
}

} // namespace gloam::render
