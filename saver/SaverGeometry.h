#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace gloam::saver {

// A size in points.
struct SaverSize {
    double width = 0;
    double height = 0;
    bool operator==(const SaverSize&) const = default;
};

// "(1512.0, 982.0)": sizes as the lifecycle records print them.
std::string describe(SaverSize size);
// "2.0".
std::string describeScale(double scale);

// The monitor a saver window is on.
struct SaverScreen {
    // The monitor's number; none when the system gives it none (such
    // monitors share one owner slot).
    std::optional<std::int64_t> number;
    // The monitor's frame in points and its pixels per point.
    SaverSize frame;
    double scale = 1.0;
    bool operator==(const SaverScreen&) const = default;
};

} // namespace gloam::saver
