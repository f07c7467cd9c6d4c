#pragma once

#include "forge/ForgeStep.h"

namespace gloam::forge {

// The four ghost vehicles, the first vehicle's rear lights and the witch.
void addVehicleSteps(ForgeSteps& steps);

} // namespace gloam::forge
