#pragma once

#include "platform/scene/View3D.h"

#include <string>

namespace gloam {

// The small status line over the scene ("Preparing the scene…"): white
// 13-point medium text, centred in a rounded, translucent black frame,
// hidden while its text is empty. The host draws it above the 3D view.
struct StatusLabel {
    static constexpr float fontSize = 13.0F;
    static constexpr float backgroundAlpha = 0.65F;
    static constexpr float cornerRadius = 7.0F;

    std::string text;
    bool hidden = true;
    platform::Rect frame; // view points, origin at the bottom left
};

} // namespace gloam
