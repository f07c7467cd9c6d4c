#pragma once

#include <cstddef>
#include <filesystem>
#include <vector>

#include "forge/world/PropTargetsFile.h"

namespace gloam::forge {

struct GraveyardResult {
    std::vector<PropTargetRecord> targets;
    std::size_t triangles = 0;
};

// Builds the environment model (house, graveyard, pumpkins, trees,
// backdrop ring, mist, sky, moon, ground) into a glTF binary, and returns
// the click boxes of its graves and pumpkins, measured on the very meshes
// that were written.
GraveyardResult writeGraveyard(const std::filesystem::path& glbPath);

} // namespace gloam::forge
