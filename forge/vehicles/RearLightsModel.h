#pragma once

#include <filesystem>

namespace gloam::forge {

// The first vehicle's rear light bar, in scene coordinates under the boot
// lip of the saloon: a dark housing, a red guide strip across the rear and
// an amber core at each end, where the scene's two red lights stand.
void writeRearLights(const std::filesystem::path& glbPath);

} // namespace gloam::forge
