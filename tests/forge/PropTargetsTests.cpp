// PropTargets.json decoded by the scene's own decoder, with the ids
// that carry behaviour, placed on the ground clear of the vehicle, and
// matching the graveyard's meshes box for box.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <string>

#include <glm/geometric.hpp>
#include <nlohmann/json.hpp>

#include "engine/common/PropTarget.h"
#include "resources/ResourceFiles.h"
#include "resources/SceneLandmarks.h"
#include "resources/SceneNames.h"
#include "tests/forge/GltfScene.h"
#include "tests/forge/ResourceFolder.h"

namespace gloam::forge::testing {
namespace {

namespace names = gloam::scene_names;
namespace lm = gloam::landmarks;

struct Target {
    std::string id, kind;
    glm::vec3 centre, size;
};

// The forged file, decoded by the scene's own decoder: anything it rejects
// fails here with its message.
std::vector<Target> loadTargets()
{
    std::vector<Target> out;
    for (const PropTarget& target :
         PropTarget::loadList(resourceFolder() / std::string(gloam::resources::propTargets))) {
        out.push_back({target.id, target.kind, target.position(), target.dimensions()});
    }
    return out;
}

bool boxesOverlap(glm::vec3 c1, glm::vec3 s1, glm::vec3 c2, glm::vec3 s2)
{
    glm::vec3 d = glm::abs(c1 - c2), h = (s1 + s2) * 0.5f;
    return d.x < h.x && d.y < h.y && d.z < h.z;
}

TEST(PropTargetsFormat, TheForgeWritesExactlyTheFourKeysWithThreeNumbersEach)
{
    std::ifstream file(resourceFolder() / std::string(gloam::resources::propTargets));
    ASSERT_TRUE(file) << "PropTargets.json missing";
    const auto doc = nlohmann::json::parse(file);
    ASSERT_TRUE(doc.is_array());
    ASSERT_FALSE(doc.empty());
    for (const auto& element : doc) {
        ASSERT_TRUE(element.is_object()) << element;
        EXPECT_EQ(element.size(), 4U) << element;
        for (const char* key : {"center", "size"}) {
            ASSERT_TRUE(element.contains(key)) << element;
            EXPECT_EQ(element[key].size(), 3U) << element;
        }
    }
    EXPECT_NO_THROW(loadTargets());
}

TEST(PropTargets, FileDecodesWithTheIdsThatCarryBehaviour)
{
    std::vector<Target> targets = loadTargets();
    std::map<std::string, std::string> kinds;
    std::set<std::string> ids;
    int rings = 0, orbits = 0;
    for (const Target& t : targets) {
        EXPECT_TRUE(ids.insert(t.id).second) << "repeated id " << t.id;
        EXPECT_TRUE(t.kind == names::kindPumpkin || t.kind == names::kindGrave) << t.id << " has kind " << t.kind;
        kinds[t.id] = t.kind;
        rings += t.id.rfind(names::ringGravePrefix, 0) == 0 && t.kind == names::kindGrave ? 1 : 0;
        orbits += t.id.rfind(names::orbitPumpkinPrefix, 0) == 0 && t.kind == names::kindPumpkin ? 1 : 0;
    }
    EXPECT_EQ(kinds[std::string(names::rightBroken)], names::kindPumpkin);
    EXPECT_EQ(kinds[std::string(names::matchedLeftStone)], names::kindGrave);
    EXPECT_EQ(kinds[std::string(names::matchedLeaningStone)], names::kindGrave);
    EXPECT_GE(rings, 8);
    EXPECT_GE(orbits, 4);
}

TEST(PropTargets, RingTargetsSurroundTheVehicle)
{
    int quadrants[4] = {0, 0, 0, 0};
    for (const Target& t : loadTargets()) {
        if (t.id.rfind(names::ringGravePrefix, 0) == 0 || t.id.rfind(names::orbitPumpkinPrefix, 0) == 0) {
            quadrants[(t.centre.x >= 0 ? 1 : 0) + (t.centre.z >= 0 ? 2 : 0)]++;
        }
    }
    for (int q : quadrants) {
        EXPECT_GE(q, 2);
    }
}

TEST(PropTargets, BoxesStandOnTheGroundClearOfTheVehicleAndTheHand)
{
    glm::vec3 vehicleCentre(0.0f, 1.0f, 0.0f), vehicleSize(2 * lm::vehicleHalfLength, 2.0f, 2 * lm::vehicleHalfWidth);
    glm::vec3 wrist(lm::handWrist.x, lm::handWrist.y, lm::handWrist.z);
    glm::vec3 handCentre = wrist + glm::vec3(0, 0.22f, 0), handSize(0.7f, 0.9f, 0.7f);
    for (const Target& t : loadTargets()) {
        EXPECT_GT(t.size.x, 0.05f) << t.id;
        EXPECT_GT(t.size.y, 0.05f) << t.id;
        EXPECT_GT(t.size.z, 0.05f) << t.id;
        EXPECT_LT(glm::length(glm::vec2(t.centre.x, t.centre.z)), 20.0f) << t.id;
        float bottom = t.centre.y - t.size.y * 0.5f;
        EXPECT_GT(bottom, -0.4f) << t.id;
        EXPECT_LT(bottom, 0.3f) << t.id << " floats above the ground";
        EXPECT_FALSE(boxesOverlap(t.centre, t.size, vehicleCentre, vehicleSize)) << t.id;
        EXPECT_FALSE(boxesOverlap(t.centre, t.size, handCentre, handSize)) << t.id;
    }
}

TEST(PropTargets, EachBoxHoldsItsPropInTheGraveyardModel)
{
    GltfScene scene(resourceFolder() / std::string(gloam::resources::graveyardModel));
    for (const Target& t : loadTargets()) {
        const SceneNode* group = scene.find(t.id);
        ASSERT_NE(group, nullptr) << "no prop named " << t.id;
        glm::vec3 lo(1e30f), hi(-1e30f);
        scene.subtreeBounds(group->index, lo, hi);
        glm::vec3 boxLo = t.centre - t.size * 0.5f, boxHi = t.centre + t.size * 0.5f;
        EXPECT_LE(boxLo.x, lo.x + 0.01f) << t.id;
        EXPECT_LE(boxLo.z, lo.z + 0.01f) << t.id;
        EXPECT_GE(boxHi.x, hi.x - 0.01f) << t.id;
        EXPECT_GE(boxHi.y, hi.y - 0.01f) << t.id;
        EXPECT_GE(boxHi.z, hi.z - 0.01f) << t.id;
        // A pumpkin box holds a pumpkin, a grave box a stone.
        std::string_view part = t.kind == names::kindPumpkin ? names::pumpkinSkin : names::stone;
        bool found = false;
        for (const SceneNode& n : scene.nodes()) {
            found = found || (n.parent == group->index && n.effectiveName.find(part) != std::string::npos);
        }
        EXPECT_TRUE(found) << t.id << " holds no " << part;
        // A ring target's prop hides with the ring (its parts carry the
        // backdrop's name) exactly when the scene hides its click box.
        bool ringTarget = t.id.rfind(names::ringGravePrefix, 0) == 0 || t.id.rfind(names::orbitPumpkinPrefix, 0) == 0;
        for (const SceneNode& n : scene.nodes()) {
            if (n.parent == group->index && n.hasMesh) {
                EXPECT_EQ(n.effectiveName.find(names::backdrop) != std::string::npos, ringTarget) << n.name;
            }
        }
    }
}

} // namespace
} // namespace gloam::forge::testing
