#include "platform/mesh/MeshResource.h"
#include "platform/scene/Entity.h"
#include "platform/scene/ModelEntity.h"
#include "platform/scene/Scene.h"

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace gloam::platform;

namespace {

std::vector<std::string> childNames(const Entity& e)
{
    std::vector<std::string> names;
    for (const auto& c : e.children()) {
        names.push_back(c->name());
    }
    return names;
}

void expectNear(glm::vec3 actual, glm::vec3 expected, float tolerance = 1e-4f)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

} // namespace

TEST(EntityHierarchy, ChildOrderFollowsAddsMovesAndRemovals)
{
    auto root = Entity::make("root");
    auto other = Entity::make("other");
    auto a = Entity::make("a"), b = Entity::make("b"), c = Entity::make("c");
    root->addChild(a);
    root->addChild(b);
    root->addChild(c);
    EXPECT_EQ(childNames(*root), (std::vector<std::string>{"a", "b", "c"}));

    root->addChild(a); // re-adding moves it to the end
    EXPECT_EQ(childNames(*root), (std::vector<std::string>{"b", "c", "a"}));

    other->addChild(c); // taking it from its old parent
    EXPECT_EQ(childNames(*root), (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(c->parent(), other.get());

    b->removeFromParent();
    EXPECT_EQ(b->parent(), nullptr);
    EXPECT_EQ(childNames(*root), (std::vector<std::string>{"a"}));

    root->insertChild(b, 0);
    EXPECT_EQ(childNames(*root), (std::vector<std::string>{"b", "a"}));
    EXPECT_THROW(a->addChild(root), std::invalid_argument);
}

TEST(EntityHierarchy, EnabledInHierarchyNeedsEveryAncestor)
{
    auto root = Entity::make("root");
    auto mid = Entity::make("mid");
    auto leaf = Entity::make("leaf");
    root->addChild(mid);
    mid->addChild(leaf);
    EXPECT_TRUE(leaf->isEnabledInHierarchy());
    root->setEnabled(false);
    EXPECT_TRUE(leaf->isEnabled());
    EXPECT_FALSE(leaf->isEnabledInHierarchy());
    root->setEnabled(true);
    mid->setEnabled(false);
    EXPECT_FALSE(leaf->isEnabledInHierarchy());
    leaf->removeFromParent();
    EXPECT_TRUE(leaf->isEnabledInHierarchy());
}

TEST(EntityHierarchy, OpacityMultipliesDownTheTree)
{
    auto root = Entity::make();
    auto mid = Entity::make();
    auto leaf = Entity::make();
    root->addChild(mid);
    mid->addChild(leaf);
    root->components.set(OpacityComponent{0.5f});
    leaf->components.set(OpacityComponent{0.66f});
    EXPECT_FLOAT_EQ(leaf->effectiveOpacity(), 0.33f);
    EXPECT_FLOAT_EQ(mid->effectiveOpacity(), 0.5f);

    Scene scene;
    scene.addAnchor(root);
    std::vector<float> seen;
    scene.forEachEnabled([&](Entity& e, const glm::mat4&, float opacity) {
        if (&e == leaf.get()) {
            seen.push_back(opacity);
        }
    });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_FLOAT_EQ(seen[0], 0.33f);
}

TEST(EntityTransform, WorldTransformFollowsAncestorsAndReparenting)
{
    auto root = Entity::make();
    auto child = Entity::make();
    root->addChild(child);
    root->setPosition({1, 0, 0});
    root->setScale(glm::vec3(2.0f));
    child->setPosition({0, 1, 0});
    expectNear(child->position(nullptr), {1, 2, 0});

    // A cached world transform is refreshed when an ancestor moves.
    root->setPosition({5, 0, 0});
    expectNear(child->position(nullptr), {5, 2, 0});

    auto other = Entity::make();
    other->setPosition({0, 0, -3});
    other->addChild(child, /*preservingWorldTransform=*/true);
    expectNear(child->position(nullptr), {5, 2, 0});
    expectNear(child->position(), {5, 2, 3});
    EXPECT_NEAR(child->scale().x, 2.0f, 1e-5f);

    child->setPosition({0, 0, 0}, root.get());
    expectNear(child->position(nullptr), {5, 0, 0});
}

TEST(EntityTransform, LookPointsMinusZAtTheTargetWithUpKept)
{
    auto parent = Entity::make();
    parent->setPosition({10, 0, 0});
    parent->setOrientation(glm::angleAxis(0.7f, glm::vec3(0, 1, 0)));
    auto camera = Entity::make();
    parent->addChild(camera);

    const glm::vec3 at(0, 0.6f, 0), from(-4, 3.5f, 4);
    camera->look(at, from, {0, 1, 0}, nullptr);
    const glm::mat4 world = camera->worldMatrix();
    expectNear(glm::vec3(world[3]), from);
    const glm::vec3 forward = -glm::normalize(glm::vec3(world[2]));
    expectNear(forward, glm::normalize(at - from));
    // Right stays horizontal, up leans towards +y.
    EXPECT_NEAR(glm::vec3(world[0]).y, 0.0f, 1e-5f);
    EXPECT_GT(glm::vec3(world[1]).y, 0.0f);

    // Relative to another entity: the same look expressed in its space.
    auto reference = Entity::make();
    reference->setPosition({0, 0, 5});
    camera->look({0, 0, 0}, {0, 0, 2}, {0, 1, 0}, reference.get());
    expectNear(camera->position(nullptr), {0, 0, 7});
    expectNear(-glm::vec3(camera->worldMatrix()[2]), {0, 0, -1});
}

TEST(EntityBounds, VisualBoundsIncludeOrExcludeInactiveParts)
{
    auto root = Entity::make();
    root->setPosition({1, 0, 0});
    auto box = ModelEntity::make(MeshResource::generateBox(2.0f), {UnlitMaterial()});
    auto far = ModelEntity::make(MeshResource::generateBox(2.0f), {UnlitMaterial()});
    far->setPosition({10, 0, 0});
    root->addChild(box);
    root->addChild(far);

    const BoundingBox all = root->visualBounds(true, nullptr, false);
    expectNear(all.min, {0, -1, -1});
    expectNear(all.max, {12, 1, 1});

    far->setEnabled(false);
    const BoundingBox active = root->visualBounds(true, nullptr, true);
    expectNear(active.max, {2, 1, 1});
    // Without excludeInactive the hidden part still counts.
    expectNear(root->visualBounds(true, nullptr, false).max, {12, 1, 1});
    // Relative to the root, and not recursive.
    expectNear(root->visualBounds(true, root.get(), true).min, {-1, -1, -1});
    EXPECT_TRUE(root->visualBounds(false, nullptr, false).isEmpty());
    // A disabled root has no active parts at all.
    root->setEnabled(false);
    EXPECT_TRUE(root->visualBounds(true, nullptr, true).isEmpty());
}

TEST(SceneUpdate, HandlersRunEachFrameUntilCancelled)
{
    Scene scene;
    int first = 0, second = 0;
    double lastDelta = 0;
    auto a = scene.subscribeToUpdate([&](double dt) {
        ++first;
        lastDelta = dt;
    });
    {
        auto b = scene.subscribeToUpdate([&](double) { ++second; });
        scene.update(0.25);
    } // b cancels itself here
    scene.update(0.5);
    EXPECT_EQ(first, 2);
    EXPECT_EQ(second, 1);
    EXPECT_DOUBLE_EQ(lastDelta, 0.5);
    a.cancel();
    scene.update(0.5);
    EXPECT_EQ(first, 2);
}
