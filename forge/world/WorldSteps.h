#pragma once

#include "forge/ForgeStep.h"

namespace gloam::forge {

// The world around the vehicle: environment and hand models, prop targets,
// surface textures, fog volume and the opening's pictures.
void addWorldSteps(ForgeSteps& steps);

} // namespace gloam::forge
