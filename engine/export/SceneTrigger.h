#pragma once

#include <string>

namespace gloam {

class GhostView;

// The effects a tool can start by name (--trigger WHAT@T): lightning,
// pumpkins, ghost, ghost=ID, witch, hand, skyrell and amperle.
struct SceneTrigger {
    // Whether `what` names one of them.
    static bool known(const std::string& what);
    // Starts it in `view` through the view's own triggers.
    static void fire(GhostView& view, const std::string& what);
};

} // namespace gloam
