#pragma once

#include <filesystem>

namespace gloam::forge {

// A witch on a broom, seen from the side: +Z faces the viewer, she flies
// towards -X (right to left), the broom a little nose-up. Hat, hooked
// nose, trailing hair, pointed shoes, a ragged skirt and a cape whose node
// ("WitchCape") has its origin at her shoulders, so turning it about +Z
// flutters it.
void writeWitch(const std::filesystem::path& glbPath);

} // namespace gloam::forge
