// The scene graph drawn through frame packets: what is enabled, how
// opacity is inherited, lights and camera taken from entities.
#include "platform/gpu/GpuDevice.h"
#include "platform/assets/TextureResource.h"
#include "platform/gpu/GpuTexture.h"
#include "platform/material/CustomMaterial.h"
#include "platform/mesh/MeshResource.h"
#include "platform/render/FramePacketBuilder.h"
#include "platform/render/OffscreenTarget.h"
#include "platform/render/Renderer.h"
#include "platform/render/headless/HeadlessContext.h"
#include "platform/scene/AnchorEntity.h"
#include "platform/scene/DirectionalLight.h"
#include "platform/scene/ModelComponent.h"
#include "platform/scene/ModelEntity.h"
#include "platform/scene/OpacityComponent.h"
#include "platform/scene/PerspectiveCamera.h"
#include "platform/scene/View3D.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace gloam;
using platform::Material;

namespace {

constexpr int size = 48;

class SceneDrawing : public ::testing::Test {
protected:
    SceneDrawing()
        : device(gpu::GpuDevice::create())
        , renderer(device)
        , target(size, size)
        , view(platform::Rect{0, 0, size, size})
    {
        anchor = platform::AnchorEntity::make();
        view.scene().addAnchor(anchor);
        auto camera = platform::PerspectiveCamera::make("camera");
        camera->camera().fieldOfViewInDegrees = 30.0f;
        camera->look({0, 0, 0}, {0, 0, 6}, {0, 1, 0}, nullptr);
        anchor->addChild(camera);
        view.environment().background = {0, 0, 0, 1};
    }

    glm::vec3 centre()
    {
        auto packet = builder.build(view, 0.0);
        renderer.render(packet, {target.framebuffer(), size, size, 1.0f});
        auto hdr = renderer.sceneColor()->readFloats();
        device->waitUntilIdle();
        const size_t i = (static_cast<size_t>(size / 2) * size + size / 2) * 4;
        return {hdr[i], hdr[i + 1], hdr[i + 2]};
    }

    static Material unlit(glm::vec3 colour)
    {
        return platform::UnlitMaterial(platform::rgb(colour.r, colour.g, colour.b));
    }

    render::HeadlessContext context;
    std::shared_ptr<gpu::GpuDevice> device;
    render::Renderer renderer;
    render::OffscreenTarget target;
    platform::View3D view;
    std::shared_ptr<platform::AnchorEntity> anchor;
    render::FramePacketBuilder builder;
};

TEST_F(SceneDrawing, aDisabledParentHidesItsChildren)
{
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

TEST_F(SceneDrawing, opacityIsInheritedFromAncestors)
{
    auto back = platform::ModelEntity::make(platform::MeshResource::generateBox(glm::vec3(10.0f, 10.0f, 0.01f)),
                                            {unlit({1, 0, 0})});
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

// A model whose mesh and picture are replaced every frame, as the rising
// ghost's cloth is: the builder converts what is shown once and lets go of
// what the scene let go of, by the next packet.
TEST_F(SceneDrawing, convertedMeshesAndPicturesGoWithTheirSources)
{
    auto model = platform::ModelEntity::make(platform::MeshResource::generateSphere(1.0f), {unlit({0, 1, 0})});
    anchor->addChild(model);
    const auto first = builder.build(view, 0.0);
    const auto again = builder.build(view, 0.0);
    ASSERT_EQ(first.draws.size(), 1u);
    EXPECT_EQ(first.draws[0].mesh, again.draws[0].mesh) << "a mesh still shown is converted once";

    for (int frame = 0; frame < 50; ++frame) {
        platform::UnlitMaterial material(platform::rgb(1, 1, 1));
        material.color.texture =
            platform::TextureResource::fromPixels(2, 2, std::vector<std::uint8_t>(16, 200), "frame picture");
        auto* component = model->components.get<platform::ModelComponent>();
        component->mesh = platform::MeshResource::generateSphere(1.0f + 0.01f * static_cast<float>(frame));
        component->materials = {material};
        const auto packet = builder.build(view, 0.0);
        ASSERT_EQ(packet.draws.size(), 1u);
        ASSERT_NE(packet.draws[0].material.baseColorTexture, nullptr);
        const auto held = builder.stats();
        EXPECT_LE(held.meshes, 1u) << "frame " << frame << ": meshes the scene let go of are still held";
        EXPECT_LE(held.images, 1u) << "frame " << frame << ": pictures the scene let go of are still held";
    }
}

// A converted picture borrows its texture's pixels rather than copying
// them, so it must keep the texture alive for as long as a packet still
// shows it, and only that long.
TEST_F(SceneDrawing, aConvertedPictureBorrowsItsTexturesPixelsAndOutlivesTheScenesHold)
{
    std::vector<std::uint8_t> rgba(4 * 4 * 4);
    for (std::size_t i = 0; i < rgba.size(); ++i)
        rgba[i] = static_cast<std::uint8_t>(i * 7);
    const auto expected = rgba;
    const long texturesBefore = platform::TextureResource::liveCount();
    auto texture = platform::TextureResource::fromPixels(4, 4, rgba, "borrowed picture");
    const std::uint8_t* texturePixels = texture->levels().front().bytes.data();

    platform::UnlitMaterial material(platform::rgb(1, 1, 1));
    material.color.texture = texture;
    auto model = platform::ModelEntity::make(platform::MeshResource::generateSphere(1.0f), {material});
    anchor->addChild(model);
    auto shown = builder.build(view, 0.0);
    ASSERT_EQ(shown.draws.size(), 1u);
    render::ImagePtr picture = shown.draws[0].material.baseColorTexture;
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->bytes.data(), texturePixels) << "the pixels were copied";

    // The scene lets go of the model and its texture; the packet still
    // showing the picture keeps its pixels.
    anchor->removeChild(*model);
    model.reset();
    material = platform::UnlitMaterial(platform::rgb(1, 1, 1));
    texture.reset();
    const auto next = builder.build(view, 0.0);
    EXPECT_EQ(builder.stats().images, 0u) << "a picture the scene let go of is still held by the builder";
    EXPECT_EQ(platform::TextureResource::liveCount(), texturesBefore + 1) << "the shown picture lost its pixels";
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), picture->bytes.begin(), picture->bytes.end()));

    shown = {};
    EXPECT_EQ(platform::TextureResource::liveCount(), texturesBefore + 1) << "still held by `picture`";
    const std::weak_ptr<const render::ImageData> last = picture;
    picture.reset();
    EXPECT_TRUE(last.expired());
    EXPECT_EQ(platform::TextureResource::liveCount(), texturesBefore) << "the texture outlived its last picture";
}

TEST_F(SceneDrawing, lightsComeFromTheirEntities)
{
    platform::PhysicallyBasedMaterial grey;
    grey.baseColor.tint = {0.5f, 0.5f, 0.5f, 1};
    anchor->addChild(platform::ModelEntity::make(platform::MeshResource::generateSphere(1.0f), {grey}));
    EXPECT_EQ(centre().g, 0.0f); // no light, no environment: black

    auto sun = platform::DirectionalLight::make("sun");
    sun->light().intensity = 3000.0f;
    sun->look({0, 0, 0}, {0, 0, 5}, {0, 1, 0}, nullptr); // shining along −z, at the camera's side
    anchor->addChild(sun);
    EXPECT_GT(centre().g, 0.1f);
    sun->setEnabled(false);
    EXPECT_EQ(centre().g, 0.0f);
}

TEST_F(SceneDrawing, thePacketCarriesEveryEnabledDirectionalLightInSceneOrder)
{
    auto key = platform::DirectionalLight::make("key");
    key->light().intensity = 3000.0f;
    key->setShadow(platform::DirectionalLightShadowComponent::automatic(30.0f));
    anchor->addChild(key);
    // Like the lightning's flash: a second light, unshadowed, under a parent.
    auto strike = platform::Entity::make();
    auto flash = platform::DirectionalLight::make("flash");
    flash->light().intensity = 900.0f;
    flash->light().color = platform::rgb(0.65f, 0.83f, 1.0f);
    flash->look({0, 0, 0}, {0, 6, 8}, {0, 1, 0}, nullptr);
    strike->addChild(flash);
    anchor->addChild(strike);

    auto packet = builder.build(view, 0.0);
    ASSERT_EQ(packet.directionalLights.size(), 2u);
    EXPECT_TRUE(packet.directionalLights[0].castsShadow);
    EXPECT_EQ(packet.directionalLights[0].intensity, 3000.0f);
    EXPECT_FALSE(packet.directionalLights[1].castsShadow);
    EXPECT_EQ(packet.directionalLights[1].intensity, 900.0f);
    EXPECT_NEAR(packet.directionalLights[1].color.b, 1.0f, 1e-6f);
    // Travelling from (0, 6, 8) towards the origin.
    const glm::vec3 expected = glm::normalize(glm::vec3(0, -6, -8));
    EXPECT_NEAR(glm::dot(packet.directionalLights[1].direction, expected), 1.0f, 1e-4f);

    strike->setEnabled(false);
    EXPECT_EQ(builder.build(view, 0.0).directionalLights.size(), 1u);
}

} // namespace

// The surface libraries the forge ships: each compiles, and draws what its
// custom value asks for. A library that failed to compile would draw its
// base material instead, which each case below tells apart.
TEST_F(SceneDrawing, shippedSurfaceFunctionsFollowTheirCustomValues)
{
    const std::filesystem::path shaders = std::filesystem::path(GLOAMYARD_SOURCE_DIR) / "forge" / "shaders";
    auto ball =
        platform::ModelEntity::make(platform::MeshResource::generateSphere(1.0f), {unlit({0.2f, 0.4f, 0.6f})}, "ball");
    anchor->addChild(ball);
    const glm::vec3 plain = centre();
    ASSERT_GT(plain.b, 0.1f);

    // The fade: hidden at reveal 0, the source at 1, the glow scales the
    // emissive colour, and the source opacity scales what shows; an opaque
    // material fades too (it dissolves rather than blends).
    platform::UnlitMaterial source(platform::rgb(0.2f, 0.4f, 0.6f));
    platform::CustomMaterial fade(source, platform::SurfaceShader::load(shaders / "CameoFade.glsl", "cameoFade"));
    fade.emissiveColor.color = {0.3f, 0.2f, 0.1f};
    fade.emissiveIntensity = 1.0f;
    struct Case {
        glm::vec4 value;
        bool transparent;
        float expectedShare; // of the plain colour and of the glow
        float glow;
    };
    for (const Case& c : {Case{{0, 0, 1, 0}, true, 0.0f, 0.0f}, Case{{1, 0, 1, 0}, true, 1.0f, 0.0f},
                          Case{{1, 0, 0.5f, 0}, true, 0.5f, 0.0f}, Case{{1, 2, 1, 0}, true, 1.0f, 2.0f},
                          Case{{0, 2, 1, 0}, false, 0.0f, 2.0f}, Case{{1, 0, 1, 0}, false, 1.0f, 0.0f}}) {
        fade.custom.value = c.value;
        fade.blending = c.transparent ? platform::Blending::transparent(1.0f) : platform::Blending::opaque();
        ball->model().materials = {fade};
        const glm::vec3 seen = centre();
        EXPECT_NEAR(seen.r, (plain.r + 0.3f * c.glow) * c.expectedShare, 0.03f)
            << c.value.x << " " << c.value.z << " " << c.transparent;
        EXPECT_NEAR(seen.b, (plain.b + 0.1f * c.glow) * c.expectedShare, 0.03f)
            << c.value.x << " " << c.value.z << " " << c.transparent;
    }

    // The opening's atmosphere shows the panorama texture whatever the
    // base tint (black here), and its mist drifts with the time.
    std::vector<std::uint8_t> grey(8 * 8 * 4, 160);
    platform::UnlitMaterial panorama(platform::rgb(0.0f, 0.0f, 0.0f));
    panorama.color.texture = platform::TextureResource::fromPixels(8, 8, grey, "panorama");
    platform::CustomMaterial atmosphere(
        panorama, platform::SurfaceShader::load(shaders / "OpeningAtmosphere.glsl", "openingAtmosphere"));
    ball->model().materials = {atmosphere};
    const glm::vec3 early = centre();
    EXPECT_GT(early.r + early.g + early.b, 0.3f) << "the panorama shows through a black tint";
    atmosphere.custom.value.x = 3.0f;
    ball->model().materials = {atmosphere};
    const glm::vec3 later = centre();
    EXPECT_GT(glm::length(later - early), 1e-3f) << "the picture moves with the opening's time";
}
