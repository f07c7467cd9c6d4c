#include "engine/export/SceneTrigger.h"

#include "engine/scene/GhostView.h"

#include <optional>

namespace gloam {

bool SceneTrigger::known(const std::string& what)
{
    for (const char* name : {"lightning", "pumpkins", "ghost", "witch", "hand", "skyrell", "amperle"}) {
        if (what == name) {
            return true;
        }
    }
    return what.rfind("ghost=", 0) == 0 && what.size() > 6;
}

void SceneTrigger::fire(GhostView& view, const std::string& what)
{
    if (what == "lightning") {
        view.triggerLightning();
    } else if (what == "pumpkins") {
        view.triggerPumpkins();
    } else if (what == "ghost") {
        view.triggerGhost(std::nullopt);
    } else if (what.rfind("ghost=", 0) == 0) {
        view.triggerGhost(what.substr(6));
    } else if (what == "witch") {
        view.triggerWitch();
    } else if (what == "hand") {
        view.triggerHand();
    } else if (what == "skyrell") {
        view.previewEgg(EasterEgg::skyrell);
    } else if (what == "amperle") {
        view.previewEgg(EasterEgg::amperle);
    }
}

} // namespace gloam
