// The witch model serves the scene's flight, the opening's swoop and the
// sky car's guest: a side-on figure facing -x, with a cape whose origin
// sits at her shoulders so that turning it about +Z flutters it.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include <glm/geometric.hpp>

#include "resources/ResourceFiles.h"
#include "resources/SceneNames.h"
#include "tests/forge/GltfScene.h"
#include "tests/forge/ResourceFolder.h"

namespace gloam::forge::testing {
namespace {

namespace names = gloam::scene_names;

class WitchContract : public ::testing::Test {
protected:
    GltfScene scene{resourceFolder() / std::string(gloam::resources::witchModel)};

    glm::vec3 centreOf(const char* name) const
    {
        const SceneNode* n = scene.find(name);
        if (n == nullptr) {
            ADD_FAILURE() << "no " << name;
            return glm::vec3(0.0f);
        }
        glm::vec3 min(1e30f), max(-1e30f);
        scene.subtreeBounds(n->index, min, max);
        return (min + max) * 0.5f;
    }
};

TEST_F(WitchContract, ReadsSideOnFromPlusZFlyingTowardsMinusX)
{
    glm::vec3 min(1e30f), max(-1e30f);
    for (int root : scene.model().scenes[0].nodes)
        scene.subtreeBounds(root, min, max);
    glm::vec3 size = max - min;
    // A long flat figure in the x-y plane: the silhouette is what the
    // camera sees.
    EXPECT_GT(size.x, 1.3f * size.y);
    EXPECT_LT(size.z, 0.5f * size.x);
    // Head forward of the bristles, the hat on top.
    glm::vec3 head = centreOf("WitchHead"), bristles = centreOf("BroomBristles"), hat = centreOf("WitchHat");
    EXPECT_LT(head.x, bristles.x - 0.5f);
    EXPECT_GT(hat.y, head.y);
    EXPECT_NEAR(max.y, scene.find("WitchHat")->max.y, 1e-4f) << "the hat's tip is the top of the figure";
}

TEST_F(WitchContract, CapeOriginSitsAtTheShouldersAndItStreamsBehind)
{
    int capes = 0;
    for (const SceneNode& n : scene.nodes())
        capes += n.name == names::witchCape ? 1 : 0;
    ASSERT_EQ(capes, 1);
    const SceneNode& cape = *scene.find(std::string(names::witchCape));
    ASSERT_TRUE(cape.hasMesh);
    glm::vec3 origin(cape.world[3]);
    const SceneNode& torso = *scene.find("WitchTorso");
    const SceneNode& head = *scene.find("WitchHead");
    // Between the torso's middle and the head, and inside the torso's width.
    EXPECT_GT(origin.y, 0.5f * (torso.min.y + torso.max.y));
    EXPECT_LT(origin.y, (head.min.y + head.max.y) * 0.5f);
    EXPECT_NEAR(origin.z, 0.0f, 0.02f);
    // The cape hangs off its origin and trails backwards (+x), so a turn
    // about +Z at the origin swings its free end up and down.
    EXPECT_LT(std::abs(cape.min.x - origin.x), 0.12f);
    EXPECT_GT(cape.max.x - origin.x, 0.6f);
    EXPECT_LT(cape.min.y, origin.y - 0.2f);
}

} // namespace
} // namespace gloam::forge::testing
