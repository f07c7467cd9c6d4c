// The surprises' fade, drawn: its grain belongs to the object, so a moving
// visitor dissolves with the same pattern wherever it stands.
#include "platform/gpu/GpuDevice.h"
#include "platform/gpu/GpuTexture.h"
#include "platform/material/CustomMaterial.h"
#include "platform/mesh/MeshResource.h"
#include "platform/render/FramePacketBuilder.h"
#include "platform/render/OffscreenTarget.h"
#include "platform/render/Renderer.h"
#include "platform/render/headless/HeadlessContext.h"
#include "platform/scene/AnchorEntity.h"
#include "platform/scene/ModelEntity.h"
#include "platform/scene/PerspectiveCamera.h"
#include "platform/scene/View3D.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <vector>

using namespace gloam;

namespace {

constexpr int size = 96;
constexpr float distance = 6.0F;
constexpr float fieldOfView = 30.0F;

// Which pixels of the picture the fading card shows.
std::vector<bool> shownPixels(float x, float reveal)
{
    render::HeadlessContext context;
    const std::shared_ptr<gpu::GpuDevice> device = gpu::GpuDevice::create();
    render::Renderer renderer(device);
    render::OffscreenTarget target(size, size);
    platform::View3D view(platform::Rect{0, 0, size, size});
    view.environment().background = {0, 0, 0, 1};
    auto anchor = platform::AnchorEntity::make();
    view.scene().addAnchor(anchor);
    auto camera = platform::PerspectiveCamera::make("camera");
    camera->camera().fieldOfViewInDegrees = fieldOfView;
    camera->look({0, 0, 0}, {0, 0, distance}, {0, 1, 0}, nullptr);
    anchor->addChild(camera);

    // A card facing the camera, 1.2 units square.
    platform::MeshDescriptor mesh;
    mesh.name = "card";
    mesh.positions = {{-0.6F, -0.6F, 0.0F}, {0.6F, -0.6F, 0.0F}, {0.6F, 0.6F, 0.0F}, {-0.6F, 0.6F, 0.0F}};
    mesh.normals.assign(4, glm::vec3(0.0F, 0.0F, 1.0F));
    mesh.textureCoordinates = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    mesh.indices = {0, 1, 2, 0, 2, 3};
    platform::UnlitMaterial white(platform::rgb(1.0F, 1.0F, 1.0F));
    platform::CustomMaterial fade(white, platform::SurfaceShader::load(std::filesystem::path(GLOAMYARD_SOURCE_DIR) /
                                                                           "forge" / "shaders" / "CameoFade.glsl",
                                                                       "cameoFade"));
    fade.custom.value = {reveal, 0.0F, 1.0F, 0.0F};
    auto card = platform::ModelEntity::make(platform::MeshResource::generate(std::move(mesh)), {fade}, "card");
    card->setPosition({x, 0.0F, 0.0F});
    anchor->addChild(card);

    render::FramePacketBuilder builder;
    renderer.render(builder.build(view, 0.0), {target.framebuffer(), size, size, 1.0F});
    const std::vector<float> hdr = renderer.sceneColor()->readFloats();
    device->waitUntilIdle();
    std::vector<bool> shown(static_cast<std::size_t>(size * size));
    for (std::size_t i = 0; i < shown.size(); ++i) {
        shown[i] = hdr[i * 4] > 0.5F;
    }
    return shown;
}

} // namespace

TEST(CameoFade, TheGrainMovesWithTheObject)
{
    // The world width of one pixel on the card's plane: the card moves by
    // exactly eight of them, a whole number of cycles of the fine pattern
    // laid on the pixels.
    const float pixel = 2.0F * distance * std::tan(fieldOfView * 3.14159265F / 360.0F) / size;
    const std::vector<bool> before = shownPixels(0.0F, 0.5F);
    const std::vector<bool> after = shownPixels(8.0F * pixel, 0.5F);

    // Compare the card's inner pixels (away from its edges) where it stood
    // and where it went.
    int compared = 0;
    int same = 0;
    int shown = 0;
    const int half = static_cast<int>(0.6F / pixel) - 2;
    for (int y = size / 2 - half; y < size / 2 + half; ++y) {
        for (int x = size / 2 - half; x < size / 2 + half; ++x) {
            const bool a = before[static_cast<std::size_t>(y * size + x)];
            const bool b = after[static_cast<std::size_t>(y * size + x + 8)];
            compared += 1;
            same += a == b ? 1 : 0;
            shown += a ? 1 : 0;
        }
    }
    ASSERT_GT(compared, 400);
    // Half revealed: a real dissolve, neither all shown nor all hidden.
    EXPECT_GT(shown, compared / 5);
    EXPECT_LT(shown, compared * 4 / 5);
    EXPECT_GT(same, compared * 95 / 100) << "the pattern crawled over the moving card";
}
