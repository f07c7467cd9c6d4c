#pragma once

#include <vector>

namespace gloam::render {

// A soft procedural surrounding for tools and test scenes: an
// equirectangular sky (deep blue overhead, a pale band at the horizon, a
// warm bright patch for a low sun, a dark ground), linear RGBA floats with
// longitude from −z through +x. Values are relative to display white.
struct StudioEnvironment {
    static constexpr int width = 256;
    static constexpr int height = 128;
    static std::vector<float> pixels();
};

} // namespace gloam::render
