#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace gloam::tools {

// A stand-in "FogDensity.r8" for tests (independent of the forge's real
// one) and for previews without it: layered value noise (four octaves,
// features of about 1 to 6 metres over the box of resources/
// FogVolumeLayout.h), tileable in x and z, fading out between 0.6 and 2 m
// above the ground like a ground fog; 128 × 64 × 128 bytes with x fastest,
// then y, then z. The same seed gives the same bytes.
struct FogNoiseVolume {
    static std::vector<std::uint8_t> generate(std::uint32_t seed = 7);
    // Writes the volume as "FogDensity.r8" into `folder`.
    static void write(const std::filesystem::path& folder, std::uint32_t seed = 7);
};

} // namespace gloam::tools
