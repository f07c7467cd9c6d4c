#pragma once

#include "forge/image/Image.h"

#include <filesystem>

namespace gloam::forge {

// The app's icon: a carved pumpkin glowing under the moon on a night-blue
// disc, drawn from distance fields so that every size is sharp.
Image appIcon(int size);

// Writes the icon at every size into the resource folder's icon theme
// folder (Icons/hicolor/<n>x<n>/apps/gloamyard.png).
void writeAppIcons(const std::filesystem::path& resourceFolder);

} // namespace gloam::forge
