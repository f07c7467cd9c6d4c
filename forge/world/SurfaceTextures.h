#pragma once

#include <filesystem>
#include <string_view>

#include "forge/image/Image.h"

namespace gloam::forge {

// The tangent-space normal map of one normal-map key (each its own surface
// character), tileable, 512 x 512.
Image surfaceNormalMap(std::string_view key);
// The ground's normal map: earth, pebbles and cracks, tileable.
Image groundNormalMap();
// The glowing carved cavity of a pumpkin, seen as its emissive colour: hot
// in the middle of each cut-out, cooling to deep red at the cut.
Image pumpkinCavity();

// Writes every normal map, the ground's and the cavity picture.
void writeSurfaceTextures(const std::filesystem::path& folder);

} // namespace gloam::forge
