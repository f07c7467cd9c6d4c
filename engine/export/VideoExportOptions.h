#pragma once

#include "engine/prefs/Vehicle.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace gloam {

// What a video export is asked to make: the file, its length, size and rate,
// and the scene's own choices (vehicle, surprise seed, opening, automatic
// effects, effects started at given times). The app (--export-video FILE)
// and the render tool (--video FILE) read the same options from the same
// table in VideoExportOptions.cpp, so a new option is one row there.
struct VideoExportOptions {
    static constexpr int minimumWidth = 64;
    static constexpr int minimumHeight = 64;
    static constexpr int maximumWidth = 7680;
    static constexpr int maximumHeight = 4320;
    static constexpr int maximumFramesPerSecond = 240;
    // A day: enough for any clip, and a bound on a mistyped length.
    static constexpr double maximumSeconds = 86400.0;

    struct TimedTrigger {
        std::string what; // a SceneTrigger name
        double at = 0;    // scene seconds
    };

    std::filesystem::path file;
    double seconds = 30.0;
    int width = 1200;
    int height = 540;
    int framesPerSecond = 30;
    std::optional<Vehicle> vehicle;    // none: the stored vehicle
    std::optional<std::uint64_t> seed; // none: a new surprise schedule each time
    bool skipOpening = false;
    bool manual = false;
    std::optional<bool> reduceFlashing; // none: the stored choice
    bool force = false;
    std::vector<TimedTrigger> triggers;
    bool help = false;
    // What was changed from the request without being an error, one line
    // each (an odd size rounded to even).
    std::vector<std::string> notes;

    // The frames of the video: the length at the rate, at least one.
    std::int64_t frameCount() const;

    // Reads the arguments that follow the program's name; `fileOption` names
    // the output file ("--export-video" or "--video"). Throws
    // std::invalid_argument with one line for people on bad input.
    static VideoExportOptions parse(const std::vector<std::string>& arguments, std::string_view fileOption);

    // Whether the arguments ask for a video (contain `fileOption`).
    static bool requested(int argc, char** argv, std::string_view fileOption);

    // The usage text, one line per option.
    static std::string usage(std::string_view program, std::string_view fileOption);
};

} // namespace gloam
