#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

namespace gloam::forge {

// A raised part of a car body (cabin, bed rail, roll hoop, roof rail) as a
// height field: its top follows `profile` (x, height) along the car; across
// it, within halfWidth of z = centreZ, it rounds off over sideRun with a
// drop of sideDrop (a glasshouse's tumblehome, a rail's round top).
struct BodyBlock {
    std::vector<glm::vec2> profile;
    float halfWidth = 0.7f;
    float centreZ = 0.0f;
    float sideRun = 0.2f;
    float sideDrop = 0.2f;
    bool mirrored = false; // a second copy at -centreZ
};

struct Lamp {
    std::string name;
    // Where on the car: x and z pick the spot on the outline (front lamps at
    // x < 0, rear at x > 0), y its height; size is (width, height) of the
    // lens; the lens is pushed out along the outline's normal.
    float z;
    float y;
    glm::vec2 size;
    bool rear;
    bool red;
    bool mirrored = true; // a second lamp at -z, named with "Right" for "Left"
};

// A car dressed up as a ghost: the body under a draped sheet with a wavy
// hem, two dark eyes on the windscreen, glowing lamps, dark tyres below
// the hem, and a breathing, swaying clip.
struct GhostVehicleDesign {
    std::string name;        // node prefix, e.g. "Corsel"
    float halfLength = 2.5f; // from the catalogue: the sheet reaches this far
    float top = 1.55f;       // roof height of the sheet
    float halfWidth = 0.92f;
    float cornerFront = 0.35f; // plan corner radii
    float cornerRear = 0.3f;
    float roll = 0.12f;          // radius of the sheet's roll over the shoulder
    std::vector<glm::vec2> belt; // shoulder line (x, height) along the car
    std::vector<BodyBlock> blocks;
    float crown = 0.03f;  // lateral camber of the shoulder surface
    float sag = 0.00025f; // how much the sheet sags between supports
    float hemHeight = 0.34f;
    float hemWave = 0.07f;
    float cornerDrop = 0.05f; // the sheet's corners hang lower
    float foldDepth = 0.035f;
    float foldLength = 0.55f;
    float wheelRadius = 0.33f;
    float wheelWidth = 0.22f;
    std::vector<float> axles;     // x of each axle
    float track = 0.78f;          // half distance between tyre centres
    glm::vec2 eyes{-0.6f, 0.32f}; // (x, |z|) of the eyes on the sheet
    glm::vec2 eyeSize{0.13f, 0.2f};
    std::vector<Lamp> lamps;
    std::uint32_t seed = 1;
};

// The four vehicles of the catalogue.
GhostVehicleDesign corselDesign();
GhostVehicleDesign vantreDesign();
GhostVehicleDesign bruskerDesign();
GhostVehicleDesign spirraDesign();

// The breathing clip's length in seconds; it loops seamlessly.
inline constexpr float ghostClipSeconds = 4.0f;

// Writes the model; returns its triangle count.
std::size_t writeGhostVehicle(const std::filesystem::path& glbPath, const GhostVehicleDesign& design);

} // namespace gloam::forge
