#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace gloam::forge {

// The ground fog's density volume (layout in resources/FogVolumeLayout.h):
// a low-lying fog, thick in the hollows and between the graves, thin where
// the vehicle stands, with drifting billows that tile along x and z.
std::vector<std::uint8_t> fogDensity();
void writeFogVolume(const std::filesystem::path& file);

} // namespace gloam::forge
