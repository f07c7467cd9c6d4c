#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace gloam::render {

// Which shadow casters hold still from frame to frame, so that the shadow
// map of those can be kept and only the moving ones drawn again over a copy
// of it. The key light does not move and most of the scene stands still;
// the breathing vehicle, the ghost, the hand and the surprises move.
//
// Each frame names its casters by a key of what decides their shadow
// (mesh, transform, opacity); key 0 is a caster that always moves (a
// skinned one). A caster seen with the same key in consecutive frames is
// still. The kept set is made again when the light's key changes (the
// shadow box follows the camera), when one of its casters moved or went,
// or when a caster outside it has held still since the last frame.
class StillShadowCasters {
public:
    struct Plan {
        bool redrawKept = false; // the kept map must be drawn again (from `kept`)
        std::vector<bool> kept;  // per caster: in the kept map
        bool anyKept = false;
    };

    Plan plan(std::uint64_t lightKey, const std::vector<std::uint64_t>& casterKeys);
    // The kept map's contents are gone (a new map): draw it again next time.
    void forget();

private:
    std::unordered_map<std::uint64_t, int> ages_; // frames each key has been seen in a row
    std::vector<std::uint64_t> keptKeys_;         // sorted
    std::uint64_t keptLightKey_ = 0;
    bool hasKept_ = false;
};

} // namespace gloam::render
