#pragma once

#include "platform/render/FramePacket.h"
#include "resources/SceneLandmarks.h"

namespace gloam::tools {

// A small night scene laid out like the real one, for looking at the
// post-process before the forged models exist: a dark ground, a vehicle-
// sized block under a glowing cyan cover with red rear lights, gravestones
// and a house behind it, pumpkins, fireflies and a moon, seen through the
// scene's telephoto camera (10.5°) from its default place, or orbited by
// `yaw` radians.
struct NightScene {
    static render::FramePacket build(float yaw = landmarks::cameraYaw, float elevation = landmarks::cameraElevation,
                                     double time = 0.0);
};

} // namespace gloam::tools
