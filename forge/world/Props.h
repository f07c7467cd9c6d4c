#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <glm/vec2.hpp>

#include "forge/mesh/Mesh.h"

namespace gloam::forge::props {

// One named piece of a prop: its node name ends with "_" + suffix and it
// uses the material of that name.
struct Part {
    std::string suffix;
    Mesh mesh;
    std::string material;
};
using Parts = std::vector<Part>;

enum class GraveStyle { arched, grand, cross, obelisk, broken, pointed };

// A gravestone standing on the origin facing +z, about a metre tall
// (scaled by size). Parts: WeatheredStone, StoneTrim, StoneInset,
// StoneRecess, MossStone, MossRecess (not every style has every part).
Parts gravestone(GraveStyle style, std::uint32_t seed, float size);

// A carved pumpkin sitting on the origin, its face towards +z. Parts:
// PumpkinSkin, PumpkinStem, PumpkinGlow (the glowing cut-outs),
// PumpkinCarvedWall (the cut flesh around them), PumpkinFlame. A broken
// pumpkin has its top smashed open and shards beside it.
Parts pumpkin(std::uint32_t seed, float size, bool broken);

// A soil mound over a grave, long along z.
Mesh mound(std::uint32_t seed, float length, float width, float height);

// A bare, gnarled tree of the given height on the origin.
Mesh bareTree(std::uint32_t seed, float height, float spread, int depth = 5);

// A run of old picket fence from a to b (ground points in x-z) with a
// gate between gateFrom and gateTo (0..1 along the run; gateFrom >=
// gateTo means no gate). Returns the fence and the gate separately.
struct FenceRun {
    Mesh fence;
    Mesh gate;
};
FenceRun fence(std::uint32_t seed, glm::vec2 a, glm::vec2 b, float gateFrom, float gateTo);

} // namespace gloam::forge::props
