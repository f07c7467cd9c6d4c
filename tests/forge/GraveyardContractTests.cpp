// The environment model honours the names the scene's dressing rules look
// for, keeps its textures where the rules keep them, and puts the moon
// where the witch and its click sphere expect it.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include <glm/geometric.hpp>

#include "resources/ResourceFiles.h"
#include "resources/SceneLandmarks.h"
#include "resources/SceneNames.h"
#include "tests/forge/GltfScene.h"
#include "tests/forge/ResourceFolder.h"

namespace gloam::forge::testing {
namespace {

namespace names = gloam::scene_names;

bool contains(const std::string& s, std::string_view part)
{
    return s.find(part) != std::string::npos;
}

bool matchesKey(const std::string& effective, std::string_view key)
{
    std::string exact = std::string(names::envPrefix) + std::string(key);
    std::string suffix = "_" + std::string(key);
    return effective == exact || (effective.size() >= suffix.size() &&
                                  effective.compare(effective.size() - suffix.size(), suffix.size(), suffix) == 0);
}

class GraveyardContract : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        scene = new GltfScene(resourceFolder() / std::string(gloam::resources::graveyardModel));
    }
    static void TearDownTestSuite()
    {
        delete scene;
        scene = nullptr;
    }
    static std::vector<const SceneNode*> meshNodes(const std::function<bool(const SceneNode&)>& pick)
    {
        std::vector<const SceneNode*> out;
        for (const SceneNode& n : scene->nodes()) {
            if (n.hasMesh && pick(n)) {
                out.push_back(&n);
            }
        }
        return out;
    }
    static GltfScene* scene;
};

GltfScene* GraveyardContract::scene = nullptr;

TEST_F(GraveyardContract, EveryDressingRuleFindsItsParts)
{
    const std::string_view required[] = {
        names::houseBlack, names::roofBlack,   names::houseTimber,  names::houseEdge,   names::houseSlate,
        names::windowGlow, names::treeBlack,   names::treeMist,     names::backdrop,    names::skyClouds,
        names::moonSprite, names::earthBank,   names::stone,        names::stoneInset,  names::stoneRecess,
        names::moss,       names::pumpkinSkin, names::pumpkinFlame, names::pumpkinGlow, names::pumpkinCarvedWall};
    for (std::string_view name : required) {
        EXPECT_FALSE(meshNodes([&](const SceneNode& n) { return contains(n.effectiveName, name); }).empty())
            << "no part of the graveyard is named with " << name;
    }
    EXPECT_EQ(meshNodes([](const SceneNode& n) { return n.effectiveName == names::earth; }).size(), 1u)
        << "the ground is one entity named exactly Env_Earth";
}

TEST_F(GraveyardContract, GraveyardNormalMapKeysMatchByExactOrSuffixRule)
{
    const std::string_view graveyardKeys[] = {"WeatheredStone", "StoneTrim", "StoneInset", "OldWood",
                                              "PumpkinSkin",    "MossStone", "MossRecess", "MoundSoil"};
    for (std::string_view key : graveyardKeys) {
        EXPECT_FALSE(meshNodes([&](const SceneNode& n) { return matchesKey(n.effectiveName, key); }).empty())
            << "no part takes the normal map of " << key;
    }
}

// The scene keeps the base colour textures of the sky, the moon and the
// pumpkin skins, and replaces only the tint of the earth and the stones:
// those carry their own colour in a texture, or the tint would become their
// whole colour. Glowing, flat and cloth-like parts have none.
TEST_F(GraveyardContract, BaseColourTexturesWhereTheRulesKeepOrTintThem)
{
    for (const SceneNode* n : meshNodes([](const SceneNode&) { return true; })) {
        const std::string& e = n->effectiveName;
        const bool keepsTexture =
            contains(e, names::skyClouds) || contains(e, names::moonSprite) || contains(e, names::pumpkinSkin);
        const bool retinted = e == "Env_Earth" || contains(e, "EarthBank") ||
                              (contains(e, "Stone") && !contains(e, "StoneRecess") && !contains(e, "Moss"));
        const bool glows = contains(e, "WindowGlow") || contains(e, "PumpkinFlame") || contains(e, "PumpkinGlow");
        if (keepsTexture || retinted) {
            EXPECT_TRUE(n->baseColourTextured) << n->name;
        }
        if (glows || contains(e, "House") || contains(e, "RoofBlack") || contains(e, "TreeBlack")) {
            EXPECT_FALSE(n->baseColourTextured) << n->name;
        }
    }
}

TEST_F(GraveyardContract, NoHandPartsInTheGraveyard)
{
    for (const SceneNode* n : meshNodes([](const SceneNode&) { return true; })) {
        EXPECT_FALSE(contains(n->effectiveName, names::bones)) << n->name;
        EXPECT_NE(n->effectiveName.rfind(names::sleevePrefix, 0), 0u) << n->name;
    }
}

TEST_F(GraveyardContract, MoonSpriteSitsOnTheMoonPointInsideItsClickSphere)
{
    auto moons = meshNodes([](const SceneNode& n) { return contains(n.effectiveName, names::moonSprite); });
    ASSERT_EQ(moons.size(), 1u);
    glm::vec3 centre = (moons[0]->min + moons[0]->max) * 0.5f;
    glm::vec3 moon(gloam::landmarks::moonPosition.x, gloam::landmarks::moonPosition.y,
                   gloam::landmarks::moonPosition.z);
    EXPECT_LT(glm::length(centre - moon), 0.02f);
    // The disc (60 % of the sprite's square, the rest is glow) lies inside
    // the click sphere and is big enough to see.
    glm::vec3 size = moons[0]->max - moons[0]->min;
    float disc = 0.3f * std::max({size.x, size.y, size.z});
    EXPECT_LE(disc, gloam::landmarks::moonClickRadius);
    EXPECT_GT(disc, 0.5f * gloam::landmarks::moonClickRadius);
}

TEST_F(GraveyardContract, RingPartsSurroundTheVehicle)
{
    // The backdrop and mist come in pieces all the way round, so the scene
    // can hide the ones between the camera and the vehicle.
    int quadrants[4] = {0, 0, 0, 0};
    for (const SceneNode* n : meshNodes([](const SceneNode& node) {
             return contains(node.effectiveName, names::backdrop) || contains(node.effectiveName, names::treeMist);
         })) {
        glm::vec3 c = (n->min + n->max) * 0.5f;
        quadrants[(c.x >= 0 ? 1 : 0) + (c.z >= 0 ? 2 : 0)]++;
    }
    for (int q : quadrants) {
        EXPECT_GE(q, 3);
    }
}

// The backdrop and mist bands are single-sided silhouettes seen from inside
// the ring: their fronts face the vehicle, or the far side of the ring is
// culled away and the sky meets the bare ground.
TEST_F(GraveyardContract, RingSilhouettesFaceTheCentre)
{
    int checked = 0;
    for (const SceneNode* n : meshNodes([](const SceneNode& node) {
             return (node.name.rfind("Env_Backdrop_TreeBlack_", 0) == 0 && !contains(node.name, "Ring")) ||
                    contains(node.name, names::treeMist);
         })) {
        for (const auto& t : scene->worldTriangles(n->index)) {
            const glm::vec3 normal = glm::cross(t[1] - t[0], t[2] - t[0]);
            if (glm::length(normal) < 1e-6f)
                continue;
            const glm::vec3 centre = (t[0] + t[1] + t[2]) / 3.0f;
            ASSERT_LT(glm::dot(glm::vec3(normal.x, 0.0f, normal.z), glm::vec3(centre.x, 0.0f, centre.z)), 0.0f)
                << n->name << " turns its back on the vehicle";
            ++checked;
        }
    }
    EXPECT_GT(checked, 100);
}

TEST_F(GraveyardContract, StaysWithinTheTriangleBudget)
{
    EXPECT_LT(scene->triangleCount(), 250000u);
}

TEST_F(GraveyardContract, NothingStandsInTheVehiclesPlace)
{
    for (const SceneNode* n : meshNodes([](const SceneNode& node) {
             return node.effectiveName != names::earth && !contains(node.effectiveName, names::skyClouds);
         })) {
        for (glm::vec3 p : scene->worldVertices(n->index)) {
            bool inside = std::abs(p.x) < gloam::landmarks::vehicleHalfLength &&
                          std::abs(p.z) < gloam::landmarks::vehicleHalfWidth && p.y > 0.01f;
            ASSERT_FALSE(inside) << n->name << " reaches into the vehicle's place at " << p.x << ", " << p.y << ", "
                                 << p.z;
        }
    }
    // The ground there is flat, just under the contact shadow.
    auto earth = meshNodes([](const SceneNode& node) { return node.effectiveName == names::earth; });
    ASSERT_EQ(earth.size(), 1u);
    for (glm::vec3 p : scene->worldVertices(earth[0]->index)) {
        if (std::abs(p.x) < gloam::landmarks::vehicleHalfLength && std::abs(p.z) < gloam::landmarks::vehicleHalfWidth) {
            EXPECT_NEAR(p.y, 0.0f, 0.002f);
        }
    }
}

} // namespace
} // namespace gloam::forge::testing
