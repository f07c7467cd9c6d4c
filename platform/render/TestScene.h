#pragma once

#include "platform/render/FramePacket.h"

namespace gloam::render {

// A small reference scene that shows what the renderer does: a ground
// plane, a row of spheres from rough to polished and from dielectric to
// metal, a glowing emissive sphere, a glass-like transparent sphere, a
// point light and a shadowing directional light.
struct TestScene {
    static FramePacket build(float aspectHint = 16.0f / 9.0f);
};

} // namespace gloam::render
