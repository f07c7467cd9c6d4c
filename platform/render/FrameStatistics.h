#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace gloam::render {

// The window's frame statistics line, on request (GLOAMYARD_FRAME_STATS=1):
// every five seconds the frames presented and the process's CPU time over
// them, as "frame-stats fps=N.N cpu=P%" (P is a percentage of one core, so
// it exceeds 100 when several cores work).
class FrameStatistics {
public:
    static constexpr const char* environmentVariable = "GLOAMYARD_FRAME_STATS";
    static constexpr double periodMilliseconds = 5000.0;

    // True when the environment asks for the statistics.
    static bool requested(const char* environmentValue);

    // The counters now: frames presented so far, process CPU time and a
    // steady clock, in milliseconds. The first call starts a period; a
    // call once a period has passed gives its line and starts the next.
    std::optional<std::string> sample(std::uint64_t presentedFrames, double cpuMilliseconds, double wallMilliseconds);

    static std::string line(double framesPerSecond, double cpuPercent);

private:
    bool started_ = false;
    std::uint64_t frames_ = 0;
    double cpu_ = 0, wall_ = 0;
};

} // namespace gloam::render
