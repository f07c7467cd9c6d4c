#pragma once

// How the fog-density volume ("FogDensity.r8") lies in the scene. The
// forge fills it and the post-process kernels sample it with these bounds:
// texel (i, j, k) of the 128 x 64 x 128 volume (x fastest, then y, then z)
// covers the box from fogMin + (i, j, k) * cell to fogMin + (i + 1, j + 1,
// k + 1) * cell, with cell = (fogMax - fogMin) / (128, 64, 128); the value
// at its centre is the density there, 0 (clear) to 255 (thickest).
// Outside the box the fog is clear. The kernels may scroll the lookup
// slowly with time for drift; the volume tiles seamlessly along x and z.

namespace gloam::fog_volume {

inline constexpr float minX = -24.0f;
inline constexpr float maxX = 24.0f;
inline constexpr float minY = 0.0f;
inline constexpr float maxY = 6.0f;
inline constexpr float minZ = -24.0f;
inline constexpr float maxZ = 24.0f;

} // namespace gloam::fog_volume
