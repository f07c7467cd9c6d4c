#pragma once

#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

namespace gloam::platform {

// Which faces of a triangle are not drawn.
enum class FaceCulling { none, front, back };

// How a material's colour meets what is already in the frame: opaque, or
// blended over it with a constant opacity that multiplies the texture's alpha.
struct Blending {
    enum class Mode { opaque, transparent };
    Mode mode = Mode::opaque;
    float opacity = 1.0f;

    static Blending opaque() { return {}; }
    static Blending transparent(float opacity) { return {Mode::transparent, opacity}; }
    bool isTransparent() const { return mode == Mode::transparent; }
    bool operator==(const Blending&) const = default;
};

// Colours are linear RGBA; components of the calibrated colours the scene
// names are passed through as they are.
using Color = glm::vec4;
inline Color rgb(float r, float g, float b, float a = 1.0f)
{
    return {r, g, b, a};
}

} // namespace gloam::platform
