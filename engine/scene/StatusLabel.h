#pragma once

#include "platform/scene/View3D.h"

#include <string>

namespace gloam {

// A line of text over the scene. The status line ("Preparing the scene…"):
// white 13-point medium text, centred and wrapped in its frame, a rounded
// (radius 7) black plate at 65 % opacity filling the frame, hidden while
// its text is empty. The load failure: plain white text in a frame inset by
// 24 from the view's edges. The host draws it above the 3D view.
struct StatusLabel {
    static constexpr float fontSize = 13.0F;
    static constexpr float backgroundAlpha = 0.65F;
    static constexpr float cornerRadius = 7.0F;

    std::string text;
    bool hidden = true;
    platform::Rect frame; // view points, origin at the bottom left
    bool plate = true;    // the translucent black plate behind the text
};

} // namespace gloam
