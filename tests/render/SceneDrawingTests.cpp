// The scene graph drawn through frame packets: what is enabled, how
// opacity is inherited, lights and camera taken from entities.
#include "platform/gpu/GpuDevice.h"
#include "platform/gpu/GpuTexture.h"
#include "platform/mesh/MeshResource.h"
#include "platform/render/FramePacketBuilder.h"
#include "platform/render/OffscreenTarget.h"
#include "platform/render/Renderer.h"
#include "platform/render/headless/HeadlessContext.h"
#include "platform/scene/AnchorEntity.h"
#include "platform/scene/DirectionalLight.h"
#include "platform/scene/ModelEntity.h"
#include "platform/scene/OpacityComponent.h"
#include "platform/scene/PerspectiveCamera.h"
#include "platform/scene/View3D.h"

#include <gtest/gtest.h>

using namespace gloam;
using platform::Material;

namespace {

constexpr int size = 48;

class SceneDrawing : public ::testing::Test {
protected:
    SceneDrawing()
        : device(gpu::GpuDevice::create()), renderer(device), target(size, size), view(platform::Rect{0, 0, size, size}) {
        anchor = platform::AnchorEntity::make();
        view.scene().addAnchor(anchor);
        auto camera = platform::PerspectiveCamera::make("camera");
        camera->camera().fieldOfViewInDegrees = 30.0f;
        camera->look({0, 0, 0}, {0, 0, 6}, {0, 1, 0}, nullptr);
        anchor->addChild(camera);
        view.environment().background = {0, 0, 0, 1};
    }

    glm::vec3 centre() {
        auto packet = builder.build(view, 0.0);
        renderer.render(packet, {target.framebuffer(), size, size, 1.0f});
        auto hdr = renderer.sceneColor()->readFloats();
        device->waitUntilIdle();
        const size_t i = (static_cast<size_t>(size / 2) * size + size / 2) * 4;
        return {hdr[i], hdr[i + 1], hdr[i + 2]};
    }

    static Material unlit(glm::vec3 colour) { return platform::UnlitMaterial(platform::rgb(colour.r, colour.g, colour.b)); }

    render::HeadlessContext context;
    std::shared_ptr<gpu::GpuDevice> device;
    render::Renderer renderer;
    render::OffscreenTarget target;
    platform::View3D view;
    std::shared_ptr<platform::AnchorEntity> anchor;
    render::FramePacketBuilder builder;
};

TEST_F(SceneDrawing, aDisabledParentHidesItsChildren) {
    auto parent = platform::Entity::make("parent");
    auto child = platform::ModelEntity::make(platform::MeshResource::generateSphere(1.0f), {unlit({0, 1, 0})}, "child");
    parent->addChild(child);
    anchor->addChild(parent);
    EXPECT_NEAR(centre().g, 1.0f, 0.01f);

    parent->setEnabled(false);
    EXPECT_EQ(centre().g, 0.0f);
    EXPECT_TRUE(builder.build(view, 0.0).draws.empty());

    parent->setEnabled(true);
    child->setEnabled(false);
    EXPECT_EQ(centre().g, 0.0f);
}

TEST_F(SceneDrawing, opacityIsInheritedFromAncestors) {
    auto back = platform::ModelEntity::make(platform::MeshResource::generateBox(glm::vec3(10.0f, 10.0f, 0.01f)), {unlit({1, 0, 0})});
    back->setPosition({0, 0, -2});
    anchor->addChild(back);
    auto faded = platform::Entity::make("faded");
    faded->components.set(platform::OpacityComponent{0.5f});
    auto inner = platform::Entity::make("inner");
    inner->components.set(platform::OpacityComponent{0.5f});
    auto front = platform::ModelEntity::make(platform::MeshResource::generateSphere(1.0f), {unlit({0, 0, 1})});
    inner->addChild(front);
    faded->addChild(inner);
    anchor->addChild(faded);
    const glm::vec3 c = centre();
    EXPECT_NEAR(c.r, 0.75f, 0.01f);
    EXPECT_NEAR(c.b, 0.25f, 0.01f);
}

TEST_F(SceneDrawing, lightsComeFromTheirEntities) {
    platform::PhysicallyBasedMaterial grey;
    grey.baseColor.tint = {0.5f, 0.5f, 0.5f, 1};
    anchor->addChild(platform::ModelEntity::make(platform::MeshResource::generateSphere(1.0f), {grey}));
    EXPECT_EQ(centre().g, 0.0f);  // no light, no environment: black

    auto sun = platform::DirectionalLight::make("sun");
    sun->light().intensity = 3000.0f;
    sun->look({0, 0, 0}, {0, 0, 5}, {0, 1, 0}, nullptr);  // shining along −z, at the camera's side
    anchor->addChild(sun);
    EXPECT_GT(centre().g, 0.1f);
    sun->setEnabled(false);
    EXPECT_EQ(centre().g, 0.0f);
}

} // namespace
