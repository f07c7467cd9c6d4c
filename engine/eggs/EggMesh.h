#pragma once

#include "platform/material/Material.h"
#include "platform/material/MaterialTypes.h"
#include "platform/mesh/MeshResource.h"
#include "platform/scene/ModelEntity.h"

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace gloam {

// Builders of named procedural meshes and the model entities that show
// them. Positions are given, normals always derived; indices are three per
// triangle, counter-clockwise seen from the front. Every model made here has
// one material, casts no dynamic-light shadow and is added to the given
// parent.
//
// Sections below: general meshes and models; primitives placed in space;
// the surprises' own shapes.
class EggMesh {
public:
    EggMesh() = delete;

    // --- General meshes and models ---

    // A mesh from positions and triangle indices with smooth, area-weighted
    // normals (a vertex used by one triangle only gets that triangle's flat
    // normal; a vertex on no usable triangle gets +y). A trailing incomplete
    // triple is ignored. Throws platform::MeshError when the mesh is rejected
    // (no positions or triangles, an index out of range, a position that is
    // not finite).
    static platform::MeshPtr mesh(std::string name, std::vector<glm::vec3> positions,
                                  std::vector<std::uint32_t> indices);

    // The normals `mesh` derives, for callers that check or reuse them.
    static std::vector<glm::vec3> smoothNormals(const std::vector<glm::vec3>& positions,
                                                const std::vector<std::uint32_t>& indices);

    // A model entity with the mesh and the one material, at `position`
    // (local to `parent`), added to `parent`.
    static std::shared_ptr<platform::ModelEntity> model(platform::MeshPtr mesh, platform::Material material,
                                                        glm::vec3 position, platform::Entity& parent);

    // A lit material that also glows faintly in its own colour, so the
    // surprises' small models read in the dark: `emissive` is the strength
    // of that glow.
    static platform::Material selfLit(glm::vec3 color, float roughness, float metallic, float emissive,
                                      platform::Blending blending = platform::Blending::opaque());

    // --- Primitives placed in space ---

    // A cylinder of `radius` from `a` to `b`: a unit-height cylinder placed
    // at the middle, stretched along its axis and turned from +y onto b − a.
    static std::shared_ptr<platform::ModelEntity> segment(glm::vec3 a, glm::vec3 b, float radius,
                                                          const platform::Material& material, platform::Entity& parent);

    // An ellipsoid: a unit sphere at `center` scaled by the semi-axes `radii`.
    static std::shared_ptr<platform::ModelEntity> sphere(glm::vec3 radii, glm::vec3 center,
                                                         const platform::Material& material, platform::Entity& parent);

    // --- The surprises' own shapes ---

    // A carved-face piece (eye, nose, mouth) whose outline, in the x-y plane
    // of a pumpkin of ten ellipsoidal ribs, is turned counter-clockwise,
    // cut into ear triangles, each subdivided four times, and lifted onto
    // the front of the ribs. Throws platform::MeshError for an outline with
    // fewer than three points or without an ear.
    static platform::MeshPtr pumpkinCarving(const std::vector<glm::vec2>& outline);

    // The charging station's housing: eight lofted pieces (bevel, face and
    // red inner rim on each side, the outer wall, the red tunnel) added to
    // `parent` at (0, 0.07, 0).
    static void chargerHousing(const platform::Material& shell, const platform::Material& red,
                               platform::Entity& parent);

    // The steps of the builders above, for the models and for tests.

    // A rounded rectangle standing on y = `lift`, centred on x = 0: four
    // quarter arcs of 17 points, counter-clockwise from the top right.
    static constexpr int outlinePoints = 68;
    static std::vector<glm::vec2> outline(float width, float height, float radius, float lift);

    // One ring of a loft: an outline at a depth.
    struct Ring {
        std::vector<glm::vec2> outline;
        float z = 0.0F;
    };
    // A surface lofted through `rings` (all outlines the same length); with
    // `reversed` the triangles face the other way. The model sits at
    // (0, 0.07, 0) in `parent`.
    static std::shared_ptr<platform::ModelEntity> surface(const std::string& name, const std::vector<Ring>& rings,
                                                          bool reversed, const platform::Material& material,
                                                          platform::Entity& parent);

    // Ear triangles of a simple polygon as indices into `outline`, after
    // turning it counter-clockwise (the indices are into the outline as
    // turned). Throws platform::MeshError when no ear can be found.
    static std::vector<std::array<std::uint32_t, 3>> clipEars(std::vector<glm::vec2>& outline);

    // A point of the carving plane lifted onto the pumpkin's front, a hair
    // in front of its skin; z = −1 (plus the hair) outside every rib.
    static glm::vec3 pumpkinSurface(glm::vec2 point);

    static constexpr int carvingDepth = 4;
    static constexpr float carvingLift = 0.0018F;
    static constexpr float ribOffset = 0.095F;
    static constexpr float ribHalfWidth = 0.095F;
    static constexpr float ribHalfHeight = 0.15F;
    static constexpr int ribCount = 10;
};

} // namespace gloam
