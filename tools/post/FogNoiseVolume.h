#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace gloam::tools {

// A stand-in "FogDensity.r8" for tests, previews and benchmarks: layered
// value noise (four octaves, features of 1 to 8 metres where the
// post-process lays the volume over the scene), tileable in x and z,
// 128 × 64 × 128 bytes with x fastest, then y, then z. The same seed gives
// the same bytes.
struct FogNoiseVolume {
    static std::vector<std::uint8_t> generate(std::uint32_t seed = 7);
    // Writes the volume as "FogDensity.r8" into `folder`.
    static void write(const std::filesystem::path& folder, std::uint32_t seed = 7);
};

} // namespace gloam::tools
