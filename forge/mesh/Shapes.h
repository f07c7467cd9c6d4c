#pragma once

#include <functional>
#include <vector>

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include "forge/mesh/Mesh.h"

namespace gloam::forge::shapes {

// A box of the given full size centred on the origin, its edges rounded
// with radius bevel (segments steps per quarter round; bevel 0 gives sharp
// edges). subdivisions > 0 adds interior rows so that the faces can be
// displaced. Uvs are box-projected in metres.
Mesh bevelledBox(glm::vec3 size, float bevel, int segments = 2, int subdivisions = 0);

// Triangulates a simple polygon (either winding) by ear clipping; returns
// indices into the outline, counter-clockwise.
std::vector<unsigned> triangulate(const std::vector<glm::vec2>& outline);

// Extrudes an outline in the x-y plane (counter-clockwise) along z, depth
// centred on z = 0, with a chamfer of size bevel on both faces.
Mesh extrusion(const std::vector<glm::vec2>& outline, float depth, float bevel);

// Revolves a profile of (radius, height) points, bottom to top, about +y.
// radiusScale(angle, height) modulates the radius (ribs, dents). Closes the
// ends when a profile point has radius 0.
Mesh lathe(const std::vector<glm::vec2>& profile, int segments,
           const std::function<float(float, float)>& radiusScale = {});

// Sweeps a circle of `sides` corners along a path with a radius per point
// (rotation-minimising frames). Caps the ends when capped is true.
Mesh tube(const std::vector<glm::vec3>& path, const std::vector<float>& radii, int sides, bool capped = true);

// A sphere (latitude-longitude grid).
Mesh sphere(float radius, int rings, int segments);

// A flat rectangle in the x-y plane facing +z, centred, uvs 0..1 (v down).
Mesh quad(float width, float height);

// A flat polygon in the x-y plane facing +z with uvs mapped from the
// polygon's bounds (0..1, v down).
Mesh polygon(const std::vector<glm::vec2>& outline);

// A disc of radius in the x-z plane facing up, as rings x segments, with
// height(x, z) added to y. Uvs are x and z in metres / uvMetres.
Mesh terrainDisc(float innerRadius, float radius, int rings, int segments,
                 const std::function<float(float, float)>& height, float uvMetres);

// Outline helpers.
std::vector<glm::vec2> circle(glm::vec2 centre, float radius, int segments);
// A gravestone-like outline: a rectangle of width w and shoulder height h
// topped by an arch of the given rise (0 gives a flat top).
std::vector<glm::vec2> archedSlab(float w, float h, float rise, int arcSegments);

} // namespace gloam::forge::shapes
