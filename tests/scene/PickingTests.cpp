#include "platform/render/PostProcessContext.h"
#include "platform/collision/CollisionComponent.h"
#include "platform/mesh/MeshResource.h"
#include "platform/scene/AnchorEntity.h"
#include "platform/scene/ModelEntity.h"
#include "platform/scene/PerspectiveCamera.h"
#include "platform/scene/View3D.h"

#include "tests/support/EventLoop.h"

#include "platform/async/TaskHandle.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace gloam::platform;

namespace {

// A 200 × 100 view looking down −z from (0, 0, 10).
struct PickScene {
    View3D view{Rect{0, 0, 200, 100}};
    std::shared_ptr<AnchorEntity> anchor = AnchorEntity::make();
    std::shared_ptr<PerspectiveCamera> camera = PerspectiveCamera::make("camera");

    PickScene()
    {
        camera->camera().fieldOfViewInDegrees = 30.0f;
        camera->look({0, 0, 0}, {0, 0, 10}, {0, 1, 0}, nullptr);
        anchor->addChild(camera);
        view.scene().addAnchor(anchor);
    }

    EntityPtr box(const std::string& name, glm::vec3 at, float size = 1.0f)
    {
        auto e = Entity::make(name);
        e->setPosition(at);
        e->components.set(CollisionComponent({ShapeResource::generateBox(glm::vec3(size))}));
        anchor->addChild(e);
        return e;
    }
};

} // namespace

TEST(Picking, FrontMostEnabledEntityWithCollisionWins)
{
    PickScene s;
    auto back = s.box("back", {0, 0, -2});
    auto front = s.box("front", {0, 0, 2});
    auto plain = Entity::make("no collision");
    plain->setPosition({0, 0, 5});
    s.anchor->addChild(plain);

    const glm::vec2 centre(100, 50);
    ASSERT_NE(s.view.entityAt(centre), nullptr);
    EXPECT_EQ(s.view.entityAt(centre)->name(), "front");

    front->setEnabled(false);
    EXPECT_EQ(s.view.entityAt(centre)->name(), "back");

    // Disabled through an ancestor: not pickable either.
    front->setEnabled(true);
    auto group = Entity::make("group");
    s.anchor->addChild(group);
    group->addChild(front, true);
    group->setEnabled(false);
    EXPECT_EQ(s.view.entityAt(centre)->name(), "back");

    EXPECT_EQ(s.view.entityAt({2, 2}), nullptr); // empty corner
}

TEST(Picking, ProjectUsesBottomLeftOriginAndRejectsPointsBehind)
{
    PickScene s;
    auto centre = s.view.project({0, 0, 0});
    ASSERT_TRUE(centre);
    EXPECT_NEAR(centre->x, 100.0f, 1e-3f);
    EXPECT_NEAR(centre->y, 50.0f, 1e-3f);

    auto above = s.view.project({0, 1, 0});
    ASSERT_TRUE(above);
    EXPECT_GT(above->y, 50.0f); // up in the world is up in the view
    auto right = s.view.project({1, 0, 0});
    EXPECT_GT(right->x, 100.0f);

    EXPECT_FALSE(s.view.project({0, 0, 11})); // behind the camera

    // A projected point picks what stands there: the two queries agree.
    auto target = s.box("target", {1.5f, -0.7f, 0}, 0.2f);
    auto p = s.view.project(target->position(nullptr));
    ASSERT_TRUE(p);
    auto hit = s.view.entityAt(*p);
    ASSERT_NE(hit, nullptr);
    EXPECT_EQ(hit->name(), "target");
}

TEST(Picking, SpheresScaledEntitiesAndStaticMeshesAreHit)
{
    PickScene s;
    auto moon = Entity::make("MoonReaction");
    moon->setPosition({-2, 1, -5});
    moon->components.set(CollisionComponent({ShapeResource::generateSphere(0.7f)}));
    s.anchor->addChild(moon);
    auto p = s.view.project({-2, 1, -5});
    ASSERT_TRUE(p);
    EXPECT_EQ(s.view.entityAt(*p), moon);

    // A static mesh shape built on the worker pool, on a scaled entity.
    auto house = ModelEntity::make(MeshResource::generateBox(1.0f), {UnlitMaterial()}, "LightningHouse");
    house->setScale(glm::vec3(3.0f));
    house->setPosition({2, 0, 0});
    s.anchor->addChild(house);
    // Shared, not a local: the task may outlive a test that timed out.
    auto shape = std::make_shared<std::optional<ShapeResource>>();
    auto mesh = house->model().mesh;
    auto handle = gloam::async::spawn(
        [](MeshPtr m, std::shared_ptr<std::optional<ShapeResource>> out) -> gloam::async::Task<void> {
            *out = co_await ShapeResource::generateStaticMesh(m);
        }(mesh, shape));
    ASSERT_TRUE(gloam::testing::runEventsUntil([&] { return shape->has_value(); }));
    house->components.set(CollisionComponent({**shape}));

    // 1.4 m right of its centre is inside the scaled box, not the 1 m one.
    auto edge = s.view.project({2 + 1.4f, 0, 1.5f});
    ASSERT_TRUE(edge);
    EXPECT_EQ(s.view.entityAt(*edge), house);
}

TEST(TriangleBVH, AgreesWithTestingEveryTriangle)
{
    // A bumpy 40 × 40 grid: enough triangles for a deep hierarchy, with
    // vertices on x = 0 and z = 0 so that axis-aligned rays graze node boxes.
    MeshDescriptor d;
    const int n = 40;
    for (int j = 0; j <= n; ++j) {
        for (int i = 0; i <= n; ++i) {
            const float x = static_cast<float>(i - n / 2) * 0.25f;
            const float z = static_cast<float>(j - n / 2) * 0.25f;
            d.positions.emplace_back(x, 0.2f * std::sin(x * 2.0f + z), z);
        }
    }
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            const auto a = static_cast<std::uint32_t>(j * (n + 1) + i);
            d.indices.insert(d.indices.end(), {a, a + n + 1, a + 1, a + 1, a + n + 1, a + n + 2});
        }
    }
    auto mesh = MeshResource::generate(d);
    const TriangleBVH bvh = TriangleBVH::fromMesh(*mesh);
    EXPECT_GT(bvh.nodeCount(), 100u);

    // Reference: every triangle, Möller–Trumbore, no boxes at all.
    auto bruteForce = [&](const Ray& ray) -> std::optional<float> {
        std::optional<float> best;
        const auto& part = mesh->parts()[0];
        for (std::size_t i = 0; i < part.indices.size(); i += 3) {
            const glm::vec3 a = part.positions[part.indices[i]];
            const glm::vec3 e1 = part.positions[part.indices[i + 1]] - a;
            const glm::vec3 e2 = part.positions[part.indices[i + 2]] - a;
            const glm::vec3 p = glm::cross(ray.direction, e2);
            const float det = glm::dot(e1, p);
            if (std::abs(det) < 1e-12f) {
                continue;
            }
            const glm::vec3 s = ray.origin - a;
            const float u = glm::dot(s, p) / det;
            const glm::vec3 q = glm::cross(s, e1);
            const float v = glm::dot(ray.direction, q) / det;
            const float t = glm::dot(e2, q) / det;
            if (u >= 0 && v >= 0 && u + v <= 1 && t >= 0 && (!best || t < *best)) {
                best = t;
            }
        }
        return best;
    };
    std::vector<Ray> rays = {
        {{0, 5, 0}, {0, -1, 0}},                                       // straight down through grid lines
        {{0.25f, 5, -0.5f}, {0, -1, 0}}, {{0, 0.05f, -10}, {0, 0, 1}}, // along z at x = 0, skimming the bumps
        {{-10, 0.1f, 0}, {1, 0, 0}},     {{3, 3, 3}, glm::normalize(glm::vec3(-1, -1, -1))},
        {{20, 5, 0}, {0, -1, 0}}, // misses
    };
    unsigned seed = 7;
    auto random = [&] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float>(seed >> 8) / 16777216.0f;
    };
    for (int k = 0; k < 200; ++k) {
        const glm::vec3 origin(random() * 10 - 5, 2.0f, random() * 10 - 5);
        rays.push_back({origin, glm::normalize(glm::vec3(random() - 0.5f, -1.0f, random() - 0.5f))});
    }
    for (const auto& ray : rays) {
        const auto expected = bruteForce(ray);
        const auto actual = bvh.intersect(ray, 1e9f);
        ASSERT_EQ(actual.has_value(), expected.has_value()) << "ray from " << ray.origin.x << ", " << ray.origin.z;
        if (expected) {
            ASSERT_NEAR(actual->distance, *expected, 1e-4f);
        }
    }
}

TEST(View3DState, CameraChoicePostProcessSlotAndEmptyViews)
{
    PickScene s;
    // A second, disabled camera does not take over; enabling it earlier in the tree does.
    auto side = PerspectiveCamera::make("side");
    side->look({0, 0, 0}, {10, 0, 0}, {0, 1, 0}, nullptr);
    side->setEnabled(false);
    s.anchor->insertChild(side, 0);
    EXPECT_EQ(s.view.camera(), s.camera);
    side->setEnabled(true);
    EXPECT_EQ(s.view.camera(), side);
    auto p = s.view.project({0, 0, -1});
    ASSERT_TRUE(p);
    EXPECT_GT(p->x, 100.0f); // seen from +x, −z lies to the right
    side->removeFromParent();

    // No area, no camera: nothing projects and nothing is hit.
    s.view.setFrame({0, 0, 0, 0});
    EXPECT_FALSE(s.view.project({0, 0, 0}));
    s.view.setFrame({0, 0, 200, 100});
    s.camera->removeFromParent();
    EXPECT_FALSE(s.view.project({0, 0, 0}));
    EXPECT_EQ(s.view.entityAt({100, 50}), nullptr);

    // The post-process slot hands out what was installed until it is cleared.
    int calls = 0;
    s.view.setPostProcess(
        [&](const gloam::render::PostProcessContext& context) { calls += static_cast<int>(context.time); });
    auto callback = s.view.postProcess();
    ASSERT_NE(callback, nullptr);
    gloam::render::PostProcessContext context;
    context.time = 3.0;
    (*callback)(context);
    EXPECT_EQ(calls, 3);
    s.view.clearPostProcess();
    EXPECT_EQ(s.view.postProcess(), nullptr);
    (*callback)(context); // a callback already taken stays valid
    EXPECT_EQ(calls, 6);
}
