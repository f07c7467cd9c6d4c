// The scene renderer on a headless context: small scenes, pixel facts.
#include "platform/gpu/CommandBuffer.h"
#include "platform/gpu/ComputeEncoder.h"
#include "platform/gpu/ComputePipeline.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/gpu/GpuTexture.h"
#include "platform/gpu/ShaderLibrary.h"
#include "platform/render/EnvironmentLight.h"
#include "platform/render/GpuResourceCache.h"
#include "platform/render/ImageData.h"
#include "platform/render/OffscreenTarget.h"
#include "platform/render/Photometry.h"
#include "platform/render/PrimitiveMeshes.h"
#include "platform/render/Renderer.h"
#include "platform/render/headless/HeadlessContext.h"

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <stdexcept>

using namespace gloam::render;
using gloam::gpu::CommandBufferStatus;
using gloam::gpu::ShaderLibrary;

namespace {

constexpr int size = 64;

class RendererTest : public ::testing::Test {
protected:
    RendererTest()
        : device(gloam::gpu::GpuDevice::create())
        , renderer(device)
        , target(size, size)
    {}

    // Renders and keeps the HDR colour (bottom row first) and the output.
    void draw(const FramePacket& packet)
    {
        renderer.render(packet, {target.framebuffer(), size, size, 1.0f});
        hdr = renderer.sceneColor()->readFloats();
        shown = target.readPixels();
        device->waitUntilIdle();
    }

    // The HDR colour where a world point lands.
    glm::vec3 hdrAt(const FramePacket& packet, glm::vec3 world) const
    {
        const glm::vec4 clip =
            Renderer::projection(packet.camera, 1.0f) * glm::inverse(packet.camera.world) * glm::vec4(world, 1.0f);
        const glm::vec2 ndc = glm::vec2(clip) / clip.w;
        const int x = std::clamp(static_cast<int>((ndc.x * 0.5f + 0.5f) * size), 0, size - 1);
        const int y = std::clamp(static_cast<int>((ndc.y * 0.5f + 0.5f) * size), 0, size - 1);
        return hdrPixel(x, y);
    }
    glm::vec3 hdrPixel(int x, int y) const
    { // y from the bottom
        const size_t i = (static_cast<size_t>(y) * size + static_cast<size_t>(x)) * 4;
        return {hdr[i], hdr[i + 1], hdr[i + 2]};
    }
    glm::ivec3 shownPixel(int x, int y) const
    { // y from the top
        const size_t i = (static_cast<size_t>(y) * size + static_cast<size_t>(x)) * 4;
        return {shown[i], shown[i + 1], shown[i + 2]};
    }

    static FramePacket lookingAt(glm::vec3 eye, glm::vec3 centre, float fovDegrees = 40.0f)
    {
        FramePacket packet;
        const glm::vec3 up =
            std::abs(glm::normalize(centre - eye).y) > 0.99f ? glm::vec3(0, 0, -1) : glm::vec3(0, 1, 0);
        packet.camera.world = glm::inverse(glm::lookAt(eye, centre, up));
        packet.camera.verticalFieldOfView = glm::radians(fovDegrees);
        packet.camera.nearPlane = 0.1f;
        packet.camera.farPlane = 100.0f;
        return packet;
    }

    static DrawItem unlitQuad(glm::vec3 colour, float z, float opacity = 1.0f, bool transparent = false)
    {
        DrawItem item;
        item.mesh = PrimitiveMeshes::box({4.0f, 4.0f, 0.01f});
        item.world = glm::translate(glm::mat4(1.0f), glm::vec3(0, 0, z));
        item.material.model = MaterialValues::Model::unlit;
        item.material.baseColor = glm::vec4(colour, 1.0f);
        item.material.transparent = transparent;
        item.material.opacity = opacity;
        return item;
    }

    gloam::render::HeadlessContext context;
    std::shared_ptr<gloam::gpu::GpuDevice> device;
    Renderer renderer;
    OffscreenTarget target;
    std::vector<float> hdr;
    std::vector<std::uint8_t> shown;
};

float luminance(glm::vec3 c)
{
    return 0.2126f * c.r + 0.7152f * c.g + 0.0722f * c.b;
}

float toneMapped(float x)
{
    return std::clamp((x * (2.51f * x + 0.03f)) / (x * (2.43f * x + 0.59f) + 0.14f), 0.0f, 1.0f);
}
int displayCode(float linear)
{
    const float c = linear <= 0.0031308f ? linear * 12.92f : 1.055f * std::pow(linear, 1.0f / 2.4f) - 0.055f;
    return static_cast<int>(std::lround(c * 255.0f));
}

TEST_F(RendererTest, aLitSphereIsBrighterOnTheLightSide)
{
    auto packet = lookingAt({0, 0, 5}, {0, 0, 0});
    DrawItem sphere;
    sphere.mesh = PrimitiveMeshes::sphere(1.0f);
    sphere.material.roughness = 0.6f;
    packet.draws.push_back(sphere);
    packet.directionalLights = {DirectionalLightRecord{{-1, 0, 0}, {1, 1, 1}, 3000.0f, false, 20.0f, 1.0f}};
    draw(packet);
    const float lit = luminance(hdrAt(packet, {0.7f, 0.0f, 0.7f}));
    const float dark = luminance(hdrAt(packet, {-0.7f, 0.0f, 0.7f}));
    EXPECT_GT(lit, 0.1f);
    EXPECT_LT(dark, lit * 0.05f);
}

TEST_F(RendererTest, emissiveAboveOneExceedsWhiteBeforeToneMapping)
{
    for (float intensity : {0.5f, 4.0f}) {
        auto packet = lookingAt({0, 0, 5}, {0, 0, 0});
        DrawItem sphere;
        sphere.mesh = PrimitiveMeshes::sphere(1.0f);
        sphere.material.baseColor = {0, 0, 0, 1};
        sphere.material.emissiveColor = {1.0f, 0.5f, 0.25f};
        sphere.material.emissiveIntensity = intensity;
        packet.draws.push_back(sphere);
        draw(packet);
        const glm::vec3 centre = hdrPixel(size / 2, size / 2);
        EXPECT_NEAR(centre.r, intensity, 0.02f * intensity) << intensity;
        EXPECT_NEAR(centre.b, 0.25f * intensity, 0.02f * intensity) << intensity;
        // Tone mapping keeps the display value within range and ordered.
        EXPECT_LE(shownPixel(size / 2, size / 2).r, 255);
        EXPECT_GT(shownPixel(size / 2, size / 2).r, shownPixel(size / 2, size / 2).b);
    }
}

TEST_F(RendererTest, aShadowDarkensTheGroundUnderItsCasterOnlyWhenItCasts)
{
    for (bool casts : {true, false}) {
        auto packet = lookingAt({0, 12, 0.01f}, {0, 0, 0}, 30.0f);
        DrawItem ground;
        ground.mesh = PrimitiveMeshes::plane(10, 10);
        packet.draws.push_back(ground);
        DrawItem caster;
        caster.mesh = PrimitiveMeshes::box({1.0f, 0.2f, 1.0f});
        caster.world = glm::translate(glm::mat4(1.0f), glm::vec3(-1.5f, 1.5f, 0.0f));
        caster.castsShadow = casts;
        packet.draws.push_back(caster);
        // Light slanting towards +x: the shadow falls 1.5 m to the right.
        packet.directionalLights = {
            DirectionalLightRecord{glm::normalize(glm::vec3(1, -1, 0)), {1, 1, 1}, 3000.0f, true, 30.0f, 1.0f}};
        draw(packet);
        const float shadowed = luminance(hdrAt(packet, {0.0f, 0.0f, 0.0f}));
        const float open = luminance(hdrAt(packet, {2.0f, 0.0f, 2.0f}));
        if (casts) {
            EXPECT_LT(shadowed, open * 0.2f);
        } else {
            EXPECT_NEAR(shadowed, open, open * 0.05f);
        }
    }
}

TEST_F(RendererTest, stillCastersKeepTheirShadowMovingOnesAreDrawnAgainAndThePictureIsTheSame)
{
    auto packet = lookingAt({0, 12, 0.01f}, {0, 0, 0}, 30.0f);
    DrawItem ground;
    ground.mesh = PrimitiveMeshes::plane(10, 10);
    packet.draws.push_back(ground);
    DrawItem still;
    still.mesh = PrimitiveMeshes::box({1.0f, 0.2f, 1.0f});
    still.world = glm::translate(glm::mat4(1.0f), glm::vec3(-1.5f, 1.5f, -2.0f));
    packet.draws.push_back(still);
    DrawItem mover = still;
    mover.world = glm::translate(glm::mat4(1.0f), glm::vec3(-1.5f, 1.5f, 2.0f));
    packet.draws.push_back(mover);
    packet.directionalLights = {
        DirectionalLightRecord{glm::normalize(glm::vec3(1, -1, 0)), {1, 1, 1}, 3000.0f, true, 30.0f, 1.0f}};
    // The light slants towards +x: each box's shadow falls 1.5 m to its right.
    const glm::vec3 moverShadow{0.0f, 0.0f, 2.0f}, movedShadow{0.0f, 0.0f, 0.5f};

    // A renderer that draws every caster every frame: the picture to match.
    Renderer plain(device);
    RenderQuality everyFrame = renderer.quality();
    everyFrame.keepStillShadows = false;
    plain.setQuality(everyFrame);
    auto reference = [&](const FramePacket& frame) {
        plain.render(frame, {target.framebuffer(), size, size, 1.0f});
        auto colour = plain.sceneColor()->readFloats();
        device->waitUntilIdle();
        return colour;
    };

    const auto before = reference(packet);
    for (int frame = 0; frame < 3; ++frame)
        draw(packet);
    EXPECT_EQ(renderer.drawCounts().shadowCasters, 3);
    EXPECT_EQ(renderer.drawCounts().shadowKept, 3);
    EXPECT_EQ(renderer.drawCounts().shadowTriangles, 0);
    EXPECT_EQ(hdr, before);
    const float open = luminance(hdrAt(packet, {2.5f, 0.0f, 0.0f}));
    EXPECT_LT(luminance(hdrAt(packet, moverShadow)), open * 0.2f);

    // One box moves each frame: it is drawn again over the kept map, and
    // its shadow follows it, while the still ones stay kept.
    for (int frame = 0; frame < 3; ++frame) {
        const float z = 2.0f - 0.5f * static_cast<float>(frame + 1);
        packet.draws[2].world = glm::translate(glm::mat4(1.0f), glm::vec3(-1.5f, 1.5f, z));
        draw(packet);
        const auto drawn = hdr;
        if (frame > 0) { // the first frame of the move makes the kept map again
            EXPECT_EQ(renderer.drawCounts().shadowKept, 2) << "frame " << frame;
            EXPECT_EQ(renderer.drawCounts().shadowTriangles, 12) << "frame " << frame; // the box alone
        }
        EXPECT_EQ(drawn, reference(packet)) << "frame " << frame;
        hdr = drawn;
    }
    EXPECT_GT(luminance(hdrAt(packet, moverShadow)), open * 0.8f);
    EXPECT_LT(luminance(hdrAt(packet, movedShadow)), open * 0.2f);

    // A kept caster that stops casting takes its shadow with it.
    packet.draws[1].castsShadow = false;
    draw(packet);
    EXPECT_EQ(hdr, reference(packet));
    EXPECT_GT(luminance(hdrAt(packet, {0.0f, 0.0f, -2.0f})), open * 0.8f);
}

TEST_F(RendererTest, transparentDrawsMixWithWhatLiesBehindBackToFront)
{
    struct Case {
        const char* name;
        std::vector<DrawItem> draws;
        glm::vec3 expected;
    };
    const std::vector<Case> cases = {
        {"material opacity 0.5", {unlitQuad({1, 0, 0}, -2), unlitQuad({0, 0, 1}, 0, 0.5f, true)}, {0.5f, 0, 0.5f}},
        {"inherited opacity 0.5",
         {unlitQuad({1, 0, 0}, -2),
          [] {
              auto item = unlitQuad({0, 0, 1}, 0);
              item.opacity = 0.5f;
              return item;
          }()},
         {0.5f, 0, 0.5f}},
        {"both multiply",
         {unlitQuad({1, 0, 0}, -2),
          [] {
              auto item = unlitQuad({0, 0, 1}, 0, 0.5f, true);
              item.opacity = 0.5f;
              return item;
          }()},
         {0.75f, 0, 0.25f}},
        // Listed front first: still blended far to near.
        {"sorted",
         {unlitQuad({0, 1, 0}, 0, 0.5f, true), unlitQuad({0, 0, 1}, -1, 0.5f, true), unlitQuad({1, 0, 0}, -2)},
         {0.25f, 0.5f, 0.25f}},
    };
    for (const Case& c : cases) {
        auto packet = lookingAt({0, 0, 4}, {0, 0, 0}, 20.0f);
        packet.draws = c.draws;
        draw(packet);
        const glm::vec3 mixed = hdrPixel(size / 2, size / 2);
        EXPECT_NEAR(mixed.r, c.expected.r, 0.01f) << c.name;
        EXPECT_NEAR(mixed.g, c.expected.g, 0.01f) << c.name;
        EXPECT_NEAR(mixed.b, c.expected.b, 0.01f) << c.name;
    }
}

TEST_F(RendererTest, lightsFollowTheOnePhotometricCalibration)
{
    // A rough white-ish surface seen head-on, no specular: exactly
    // albedo / π × illuminance × exposure.
    const float albedo = 0.5f;
    const float exposure = Photometry::exposure(Photometry::defaultEv100);
    auto base = lookingAt({0, 0, 5}, {0, 0, 0}, 20.0f);
    DrawItem wall = unlitQuad({0, 0, 0}, 0);
    wall.material = {};
    wall.material.baseColor = {albedo, albedo, albedo, 1};
    wall.material.roughness = 1.0f;
    wall.material.specular = 0.0f;
    base.draws.push_back(wall);

    auto sun = base;
    sun.directionalLights = {DirectionalLightRecord{{0, 0, -1}, {1, 1, 1}, 3000.0f, false, 20.0f, 1.0f}};
    draw(sun);
    const float expectedSun = albedo / std::numbers::pi_v<float> * 3000.0f * exposure;
    EXPECT_NEAR(hdrPixel(size / 2, size / 2).g, expectedSun, expectedSun * 0.03f);

    // A point light 1 m in front: lumens / 4π candela, inverse square.
    auto lamp = base;
    lamp.pointLights.push_back({{0, 0, 1}, {1, 1, 1}, 60000.0f, 100.0f});
    draw(lamp);
    const float window = std::pow(1.0f - std::pow(1.0f / 10000.0f, 2.0f), 2.0f);
    const float expectedLamp =
        albedo / std::numbers::pi_v<float> * 60000.0f / (4.0f * std::numbers::pi_v<float>)*window * exposure;
    EXPECT_NEAR(hdrPixel(size / 2, size / 2).g, expectedLamp, expectedLamp * 0.03f);
}

TEST_F(RendererTest, pointLightsReachNoFurtherThanTheirRadius)
{
    auto packet = lookingAt({0, 10, 0.01f}, {0, 0, 0}, 40.0f);
    DrawItem ground;
    ground.mesh = PrimitiveMeshes::plane(10, 10);
    packet.draws.push_back(ground);
    packet.pointLights.push_back({{0, 0.5f, 0}, {1, 1, 1}, 20000.0f, 2.0f});
    draw(packet);
    EXPECT_GT(luminance(hdrAt(packet, {0.3f, 0, 0})), 0.05f);
    EXPECT_EQ(luminance(hdrAt(packet, {2.5f, 0, 0})), 0.0f);
}

TEST_F(RendererTest, dozensOfPointLightsEachLightTheirOwnSpot)
{
    auto packet = lookingAt({0, 12, 0.01f}, {0, 0, 0}, 40.0f);
    DrawItem ground;
    ground.mesh = PrimitiveMeshes::plane(10, 10);
    packet.draws.push_back(ground);
    std::vector<glm::vec3> feet;
    for (int z = 0; z < 6; ++z) {
        for (int x = 0; x < 6; ++x) {
            const glm::vec3 foot(-3.0f + 1.2f * x, 0.0f, -3.0f + 1.2f * z);
            feet.push_back(foot);
            packet.pointLights.push_back({foot + glm::vec3(0, 0.2f, 0), {1, 1, 1}, 2000.0f, 0.5f});
        }
    }
    draw(packet);
    for (const glm::vec3& foot : feet) {
        EXPECT_GT(luminance(hdrAt(packet, foot)), 0.05f) << foot.x << "," << foot.z;
        // Half-way between two lights is beyond both radii: dark.
        EXPECT_EQ(luminance(hdrAt(packet, foot + glm::vec3(0.6f, 0, 0.6f))), 0.0f);
    }
}

TEST_F(RendererTest, lightsPickedPerDrawLightLikeTheClusterLists)
{
    // Small spheres on a floor, each near a light or two of its own; a
    // dozen lights in all, so the floor (reached by every one) reads the
    // cluster lists. One sphere is skinned: its joint carries it 3 m
    // from its bind pose, next to a light its bind pose never meets.
    auto packet = lookingAt({0, 14, 0.01f}, {0, 0, 0}, 40.0f);
    DrawItem floor;
    floor.mesh = PrimitiveMeshes::plane(12, 12);
    packet.draws.push_back(floor);
    for (int i = 0; i < 12; ++i) {
        const float x = -4.5f + static_cast<float>(i % 4) * 3.0f, z = -3.0f + static_cast<float>(i / 4) * 3.0f;
        packet.pointLights.push_back({{x + 0.6f, 1.1f, z}, {1.0f, 0.5f + 0.04f * i, 0.3f}, 4000.0f, 1.5f});
        if (i == 11)
            continue;
        DrawItem sphere;
        sphere.mesh = PrimitiveMeshes::sphere(0.5f, 24);
        sphere.world = glm::translate(glm::mat4(1.0f), glm::vec3(x, 0.5f, z));
        sphere.material.roughness = 0.4f;
        packet.draws.push_back(sphere);
    }
    auto skinned = std::make_shared<MeshData>(*PrimitiveMeshes::sphere(0.5f, 24));
    skinned->id = 0;
    skinned->jointIndices.assign(skinned->positions.size(), glm::u16vec4(1, 0, 0, 0));
    skinned->jointWeights.assign(skinned->positions.size(), glm::vec4(1, 0, 0, 0));
    skinned->finish();
    DrawItem carried;
    carried.mesh = skinned;
    carried.world = glm::translate(glm::mat4(1.0f), glm::vec3(1.5f, 0.5f, 3.0f));
    carried.jointMatrices = {glm::mat4(1.0f), glm::translate(glm::mat4(1.0f), glm::vec3(3.0f, 0, 0))};
    packet.draws.push_back(carried);

    RenderQuality quality = renderer.quality();
    quality.perDrawLights = false;
    renderer.setQuality(quality);
    draw(packet);
    const auto clustered = hdr;
    quality.perDrawLights = true;
    renderer.setQuality(quality);
    draw(packet);
    ASSERT_EQ(hdr.size(), clustered.size());
    float largest = 0.0f, brightest = 0.0f;
    for (std::size_t i = 0; i < hdr.size(); ++i) {
        largest = std::max(largest, std::abs(hdr[i] - clustered[i]));
        brightest = std::max(brightest, clustered[i]);
    }
    EXPECT_LE(largest, brightest * 1e-4f);
    // The carried sphere is lit on the side facing the light beside it.
    EXPECT_GT(luminance(hdrAt(packet, {4.85f, 0.85f, 3.0f})), 0.05f);
}

TEST_F(RendererTest, aLargeMeshIsDrawnPartByPartWithTheSamePicture)
{
    // A bumpy ground of 20,000 triangles, lit by a lamp near one corner of
    // the view, seen from a low camera: much of it lies outside the view.
    auto ground = std::make_shared<MeshData>();
    constexpr int cells = 100;
    for (int z = 0; z <= cells; ++z) {
        for (int x = 0; x <= cells; ++x) {
            const float px = -20.0f + 0.4f * static_cast<float>(x), pz = -20.0f + 0.4f * static_cast<float>(z);
            ground->positions.emplace_back(px, 0.15f * std::sin(px * 1.3f) * std::cos(pz * 0.7f), pz);
        }
    }
    for (int z = 0; z < cells; ++z) {
        for (int x = 0; x < cells; ++x) {
            const auto a = static_cast<std::uint32_t>(z * (cells + 1) + x), b = a + cells + 1;
            ground->indices.insert(ground->indices.end(), {a, b, b + 1, a, b + 1, a + 1});
        }
    }
    ground->finish();
    auto packet = lookingAt({0, 2.0f, 8.0f}, {0, 0, 0}, 30.0f);
    DrawItem item;
    item.mesh = ground;
    item.material.roughness = 0.6f;
    packet.draws.push_back(item);
    packet.pointLights.push_back({{1.0f, 0.6f, 2.0f}, {1.0f, 0.8f, 0.6f}, 8000.0f, 3.0f});
    packet.directionalLights = {
        DirectionalLightRecord{glm::normalize(glm::vec3(1, -2, -1)), {1, 1, 1}, 20.0f, false, 30.0f, 1.0f}};

    RenderQuality quality = renderer.quality();
    quality.chunkLargeMeshes = false;
    quality.lighterMeshes = false;
    renderer.setQuality(quality);
    draw(packet);
    const auto whole = hdr;
    EXPECT_EQ(renderer.drawCounts().triangles, 20000);
    quality.chunkLargeMeshes = true;
    renderer.setQuality(quality);
    draw(packet);
    EXPECT_LE(renderer.drawCounts().triangles, 20000 * 3 / 4);
    EXPECT_GT(renderer.drawCounts().drawn, 1);
    ASSERT_EQ(hdr.size(), whole.size());
    float largest = 0.0f, brightest = 0.0f;
    for (std::size_t i = 0; i < hdr.size(); ++i) {
        largest = std::max(largest, std::abs(hdr[i] - whole[i]));
        brightest = std::max(brightest, whole[i]);
    }
    EXPECT_GT(brightest, 0.0f);
    EXPECT_LE(largest, brightest * 1e-4f);
}

TEST_F(RendererTest, lighterMeshesDrawFewerTrianglesForNearlyTheSamePicture)
{
    // A lit ball of 2,304 triangles filling much of the view, and its
    // shadow on a floor; the lighter lists are over the same vertices.
    DrawItem ball;
    ball.mesh = PrimitiveMeshes::sphere(0.6f);
    ball.material.roughness = 0.5f;
    DrawItem floor;
    floor.mesh = PrimitiveMeshes::plane(6.0f, 6.0f);
    floor.world = glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, -0.6f, 0.0f));
    auto packet = lookingAt({0, 0.5f, 3.0f}, {0, 0, 0}, 40.0f);
    packet.draws = {ball, floor};
    packet.pointLights.push_back({{1.0f, 1.0f, 1.5f}, {1.0f, 0.8f, 0.6f}, 3000.0f, 5.0f});
    packet.directionalLights = {
        DirectionalLightRecord{glm::normalize(glm::vec3(1, -2, -1)), {1, 1, 1}, 3000.0f, true, 30.0f, 1.0f}};
    RenderQuality quality = renderer.quality();
    quality.lighterMeshes = false;
    renderer.setQuality(quality);
    draw(packet);
    const auto whole = hdr;
    const int wholeTriangles = renderer.drawCounts().triangles;
    quality.lighterMeshes = true;
    renderer.setQuality(quality);
    draw(packet);
    EXPECT_LT(renderer.drawCounts().triangles, wholeTriangles / 2);
    ASSERT_EQ(hdr.size(), whole.size());
    double difference = 0.0, total = 0.0;
    for (std::size_t i = 0; i < hdr.size(); ++i) {
        difference += std::abs(hdr[i] - whole[i]);
        total += std::abs(whole[i]);
    }
    EXPECT_GT(total, 0.0);
    EXPECT_LT(difference, 0.02 * total);
}

TEST_F(RendererTest, aDrawAFewPixelsWideIsDrawnAsAStandInOfItsBounds)
{
    // A glowing sphere of 2,304 triangles: 10 cm across at 12 m is about
    // a pixel and a half of this small view; at 0.5 m it fills much of it.
    // It sits on the middle pixel's centre (half a pixel off the axis).
    DrawItem mote;
    mote.mesh = PrimitiveMeshes::sphere(0.05f);
    const float halfPixel = 12.0f * std::tan(glm::radians(10.0f)) / static_cast<float>(size);
    mote.world = glm::translate(glm::mat4(1.0f), glm::vec3(halfPixel, halfPixel, 0.0f));
    mote.material.model = MaterialValues::Model::unlit;
    mote.material.baseColor = glm::vec4(1.0f, 0.8f, 0.2f, 1.0f);
    RenderQuality quality = renderer.quality();
    quality.lighterMeshes = false;
    for (const bool standIns : {false, true}) {
        quality.smallDrawStandIns = standIns;
        renderer.setQuality(quality);
        for (const float distance : {12.0f, 0.5f}) {
            auto packet = lookingAt({0, 0, distance}, {0, 0, 0}, 20.0f);
            packet.draws.push_back(mote);
            draw(packet);
            const bool small = distance > 1.0f;
            EXPECT_EQ(renderer.drawCounts().triangles, standIns && small ? 8 : 2304) << distance;
            // Drawn either way: the middle pixel shows the mote's colour.
            EXPECT_NEAR(hdrPixel(size / 2, size / 2).g, 0.8f, 0.01f) << distance << " " << standIns;
        }
    }
}

TEST_F(RendererTest, aTriangleWithAnIndexPastTheVerticesIsDroppedWholeAndTheOthersKeepTheirCorners)
{
    // A quad facing the camera as two triangles, after a first triangle that
    // names a vertex that does not exist.
    auto mesh = std::make_shared<MeshData>();
    mesh->positions = {{-2, -2, 0}, {2, -2, 0}, {2, 2, 0}, {-2, 2, 0}};
    mesh->normals.assign(4, glm::vec3(0, 0, 1));
    mesh->indices = {0, 1, 99, 0, 1, 2, 0, 2, 3};
    mesh->finish();
    auto packet = lookingAt({0, 0, 4}, {0, 0, 0}, 20.0f);
    DrawItem quad = unlitQuad({1.0f, 1.0f, 1.0f}, 0);
    quad.mesh = mesh;
    packet.draws.push_back(quad);
    draw(packet);
    // Both halves of the quad are drawn: a point below and above its diagonal.
    EXPECT_GT(luminance(hdrAt(packet, {0.5f, -0.5f, 0})), 0.5f);
    EXPECT_GT(luminance(hdrAt(packet, {-0.5f, 0.5f, 0})), 0.5f);
}

TEST_F(RendererTest, unlitColoursCanSkipToneMapping)
{
    const glm::vec3 colour{0.5f, 0.25f, 0.75f};
    for (bool mapped : {false, true}) {
        auto packet = lookingAt({0, 0, 4}, {0, 0, 0}, 20.0f);
        auto quad = unlitQuad(colour, 0);
        quad.material.toneMapped = mapped;
        packet.draws.push_back(quad);
        draw(packet);
        const glm::ivec3 pixel = shownPixel(size / 2, size / 2);
        for (int lane = 0; lane < 3; ++lane) {
            const float value = mapped ? toneMapped(colour[lane]) : colour[lane];
            EXPECT_NEAR(pixel[lane], displayCode(value), 2) << mapped << " lane " << lane;
        }
    }
}

TEST_F(RendererTest, picturesStandUprightOnMeshes)
{
    // Top half red, bottom half green; v = 1 is the picture's top.
    auto picture = std::make_shared<ImageData>();
    picture->id = ImageData::nextId();
    picture->width = 1;
    picture->height = 8;
    picture->mipmaps = false;
    picture->encoding = ImageData::Encoding::linear8;
    for (int row = 0; row < 8; ++row) {
        const std::uint8_t red = row < 4 ? 255 : 0;
        picture->bytes.insert(picture->bytes.end(), {red, static_cast<std::uint8_t>(255 - red), 0, 255});
    }
    auto packet = lookingAt({0, 0, 4}, {0, 0, 0}, 20.0f);
    auto quad = unlitQuad({1, 1, 1}, 0);
    quad.material.baseColorTexture = picture;
    packet.draws.push_back(quad);
    draw(packet);
    EXPECT_GT(shownPixel(32, 10).r, 200); // upper part of the frame
    EXPECT_LT(shownPixel(32, 10).g, 60);
    EXPECT_GT(shownPixel(32, 54).g, 200); // lower part
    EXPECT_LT(shownPixel(32, 54).r, 60);
}

TEST_F(RendererTest, slantedEdgesAreSmoothedOnTheDisplay)
{
    // A white square turned 30° on black: its stair-stepped edge must show
    // in-between values after presentation, while the HDR target has only
    // black and white.
    auto packet = lookingAt({0, 0, 4}, {0, 0, 0}, 40.0f);
    auto quad = unlitQuad({1, 1, 1}, 0);
    quad.mesh = PrimitiveMeshes::box({1.5f, 1.5f, 0.01f});
    quad.material.toneMapped = false;
    quad.world = glm::rotate(glm::mat4(1.0f), 0.52f, glm::vec3(0, 0, 1));
    packet.draws.push_back(quad);
    draw(packet);
    int hdrBetween = 0, shownBetween = 0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const float h = hdrPixel(x, y).g;
            if (h > 0.02f && h < 0.9f)
                ++hdrBetween;
            const int v = shownPixel(x, y).g;
            if (v > 20 && v < 235)
                ++shownBetween;
        }
    }
    EXPECT_EQ(hdrBetween, 0);
    EXPECT_GT(shownBetween, 40);
}

TEST_F(RendererTest, labelsAreWhiteTextOnATranslucentPlate)
{
    auto packet = lookingAt({0, 0, 4}, {0, 0, 0}, 20.0f);
    auto quad = unlitQuad({1, 1, 1}, 0);
    quad.material.toneMapped = false;
    packet.draws.push_back(quad); // a white frame
    packet.labels.push_back({"Hi", {0.5f, 0.5f}, 12.0f, true});
    draw(packet);
    // Where the plate is and the glyphs are not: white darkened by 55 %.
    int plate = 0, glyph = 0, untouched = 0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int v = shownPixel(x, y).g;
            if (std::abs(v - 115) <= 4)
                ++plate;
            if (v >= 250)
                ++untouched;
        }
    }
    // The glyphs: white again inside the plate's row band.
    for (int x = 20; x < 44; ++x) {
        if (shownPixel(x, 32).g > 200)
            ++glyph;
    }
    EXPECT_GT(plate, 60);
    EXPECT_GT(glyph, 2);
    EXPECT_GT(untouched, size * size / 2);

    // A plain label has no plate: only glyph pixels change (to white).
    packet.environment.background = {0, 0, 0, 1};
    packet.draws.clear();
    packet.labels = {{"Hi", {0.5f, 0.5f}, 12.0f, false}};
    draw(packet);
    int lit = 0, grey = 0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int v = shownPixel(x, y).g;
            if (v > 200)
                ++lit;
            if (v > 5 && v <= 200)
                ++grey;
        }
    }
    EXPECT_GT(lit, 5);
    EXPECT_LT(grey, lit * 3); // antialiased glyph edges only
}

TEST_F(RendererTest, thePostProcessOutputIsWhatGetsPresented)
{
    auto library = ShaderLibrary::fromSource("Post.glsl", R"(
#pragma kernel paint
layout(binding = 0) uniform sampler2D sourceColor;
layout(binding = 4, rgba16f) uniform image2D targetColor;
void paint() {
    ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    // Keep the left half of the scene, paint the right half.
    vec4 c = p.x < 32 ? texelFetch(sourceColor, p, 0) : vec4(0.2, 0.4, 0.6, 1.0);
    imageStore(targetColor, p, c);
}
)");
    auto pipeline = device->makeComputePipeline(library, "paint");
    int calls = 0;
    std::vector<CommandBufferStatus> completions;
    glm::mat4 projectionSeen(0.0f);
    renderer.setPostProcess([&](const PostProcessContext& frame) {
        ++calls;
        projectionSeen = frame.projection;
        EXPECT_EQ(frame.sourceColorTexture->width(), size);
        EXPECT_EQ(frame.sourceDepthTexture->height(), size);
        frame.commandBuffer->addCompletedHandler([&](CommandBufferStatus status) { completions.push_back(status); });
        auto encoder = frame.commandBuffer->makeComputeEncoder();
        encoder.setPipeline(*pipeline);
        encoder.setTexture(0, *frame.sourceColorTexture);
        encoder.setTexture(2, *frame.sourceDepthTexture);
        encoder.setTexture(4, *frame.targetColorTexture);
        encoder.dispatchThreads(static_cast<unsigned>(frame.sourceColorTexture->width()),
                                static_cast<unsigned>(frame.sourceColorTexture->height()));
        encoder.endEncoding();
    });
    auto packet = lookingAt({0, 0, 4}, {0, 0, 0}, 20.0f);
    packet.draws.push_back(unlitQuad({1, 1, 1}, 0));
    packet.environment.background = {0, 0, 0, 1};
    draw(packet);
    device->pollCompletions();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(projectionSeen, Renderer::projection(packet.camera, 1.0f));
    ASSERT_EQ(completions.size(), 1u);
    EXPECT_EQ(completions[0], CommandBufferStatus::completed);
    const glm::ivec3 painted = shownPixel(50, 32);
    EXPECT_NEAR(painted.r, displayCode(toneMapped(0.2f)), 2);
    EXPECT_NEAR(painted.g, displayCode(toneMapped(0.4f)), 2);
    EXPECT_NEAR(painted.b, displayCode(toneMapped(0.6f)), 2);
    EXPECT_NEAR(shownPixel(10, 32).g, displayCode(toneMapped(1.0f)), 2);

    // Without a callback the scene is copied through unchanged.
    renderer.setPostProcess({});
    draw(packet);
    EXPECT_EQ(renderer.postTarget()->readFloats(), renderer.sceneColor()->readFloats());
}

TEST_F(RendererTest, customMaterialsRunTheirSurfaceFunction)
{
    auto library = std::make_shared<ShaderLibrary>(ShaderLibrary::fromSource("Fade.glsl", R"(
#pragma surface fade
void fade(inout Surface s) {
    s.baseColor = s.baseColor * s.custom.x;
    s.emissive = vec3(s.custom.y);
}
)"));
    auto packet = lookingAt({0, 0, 4}, {0, 0, 0}, 20.0f);
    auto quad = unlitQuad({0.5f, 0.5f, 0.5f}, 0);
    quad.material.model = MaterialValues::Model::custom;
    quad.material.customLit = false;
    quad.material.surfaceLibrary = library;
    quad.material.surfaceFunction = "fade";
    quad.material.customValue = {0.5f, 2.0f, 0, 0};
    packet.draws.push_back(quad);
    draw(packet);
    EXPECT_NEAR(hdrPixel(32, 32).r, 0.25f + 2.0f, 0.02f);

    // A function the library lacks draws the base material instead.
    packet.draws[0].material.surfaceFunction = "missing";
    draw(packet);
    EXPECT_NEAR(hdrPixel(32, 32).r, 0.5f, 0.01f);
}

TEST_F(RendererTest, skinnedMeshesFollowTheirJoints)
{
    auto mesh = std::make_shared<MeshData>(*PrimitiveMeshes::box({0.5f, 0.5f, 0.5f}));
    mesh->id = 0;
    mesh->jointIndices.assign(mesh->positions.size(), glm::u16vec4(1, 0, 0, 0));
    mesh->jointWeights.assign(mesh->positions.size(), glm::vec4(1, 0, 0, 0));
    mesh->finish();
    auto packet = lookingAt({0, 0, 6}, {0, 0, 0}, 40.0f);
    DrawItem item;
    item.mesh = mesh;
    item.material.model = MaterialValues::Model::unlit;
    item.jointMatrices = {glm::mat4(1.0f), glm::translate(glm::mat4(1.0f), glm::vec3(1.2f, 0, 0))};
    packet.draws.push_back(item);
    draw(packet);
    EXPECT_EQ(luminance(hdrAt(packet, {0, 0, 0.25f})), 0.0f);
    EXPECT_NEAR(luminance(hdrAt(packet, {1.2f, 0, 0.25f})), 1.0f, 0.01f);
}

TEST_F(RendererTest, aUniformEnvironmentLightsEveryDirectionAlike)
{
    auto image = std::make_shared<ImageData>();
    image->id = ImageData::nextId();
    image->width = 16;
    image->height = 8;
    image->encoding = ImageData::Encoding::float32;
    image->floats.assign(16 * 8 * 4, 1.0f);
    const auto light = EnvironmentLight::fromEquirectangular(*image);
    for (glm::vec3 n : {glm::vec3(0, 1, 0), glm::vec3(0, -1, 0), glm::vec3(1, 0, 0), glm::vec3(0, 0.6f, -0.8f)}) {
        EXPECT_NEAR(light.evaluate(n).g, 1.0f, 0.03f);
    }

    auto packet = lookingAt({0, 0, 5}, {0, 0, 0});
    packet.environment.image = image;
    packet.environment.intensityExponent = -1.0f; // half as bright
    DrawItem sphere;
    sphere.mesh = PrimitiveMeshes::sphere(1.0f);
    sphere.material.baseColor = {0.8f, 0.8f, 0.8f, 1};
    sphere.material.roughness = 1.0f;
    sphere.material.specular = 0.0f;
    packet.draws.push_back(sphere);
    packet.exposureEv100 = Photometry::referenceEv100;
    draw(packet);
    const float top = luminance(hdrAt(packet, {0, 0.7f, 0.7f}));
    const float bottom = luminance(hdrAt(packet, {0, -0.7f, 0.7f}));
    EXPECT_NEAR(top, 0.4f, 0.03f);
    EXPECT_NEAR(bottom, top, 0.02f);

    // One stop darker camera, half the light.
    packet.exposureEv100 = Photometry::referenceEv100 + 1.0f;
    draw(packet);
    EXPECT_NEAR(luminance(hdrAt(packet, {0, 0.7f, 0.7f})), 0.2f, 0.02f);
}

// Reflections of a sky bright above and dark below: a polished sphere
// samples the map, a rough one takes the irradiance in the mirror
// direction; both see the sky on top and nothing underneath, at like
// strength.
TEST_F(RendererTest, smoothAndRoughSpheresReflectTheEnvironmentAlike)
{
    auto image = std::make_shared<ImageData>();
    image->id = ImageData::nextId();
    image->width = 32;
    image->height = 16;
    image->encoding = ImageData::Encoding::float32;
    image->floats.assign(32 * 16 * 4, 0.0f);
    for (int row = 0; row < 8; ++row) { // the upper half of the sky
        for (int column = 0; column < 32; ++column) {
            for (int c = 0; c < 3; ++c)
                image->floats[static_cast<std::size_t>((row * 32 + column) * 4 + c)] = 1.0f;
        }
    }
    auto seen = [&](float roughness) {
        auto packet = lookingAt({0, 0, 5}, {0, 0, 0});
        packet.exposureEv100 = Photometry::referenceEv100;
        packet.environment.image = image;
        packet.environment.intensityExponent = 1.0f; // both paths take the scale once
        DrawItem sphere;
        sphere.mesh = PrimitiveMeshes::sphere(1.0f);
        sphere.material.baseColor = {1.0f, 1.0f, 1.0f, 1};
        sphere.material.metallic = 1.0f;
        sphere.material.roughness = roughness;
        packet.draws.push_back(sphere);
        draw(packet);
        return std::pair{luminance(hdrAt(packet, {0, 0.7f, 0.7f})), luminance(hdrAt(packet, {0, -0.7f, 0.7f}))};
    };
    const auto [smoothTop, smoothBottom] = seen(0.15f);
    const auto [roughTop, roughBottom] = seen(0.9f);
    EXPECT_GT(smoothTop, 1.0f);
    EXPECT_LT(smoothBottom, 0.1f * smoothTop);
    EXPECT_GT(roughTop, 0.4f * smoothTop);
    EXPECT_LT(roughTop, 1.5f * smoothTop);
    EXPECT_LT(roughBottom, 0.5f * roughTop);
}

} // namespace

namespace {

TEST_F(RendererTest, everyDirectionalLightLightsTheFirstShadowedOneCastsTheShadow)
{
    // A wall facing +z, a box between it and the second light.
    const float albedo = 0.5f;
    const float exposure = Photometry::exposure(Photometry::defaultEv100);
    auto packet = lookingAt({0, 0, 5}, {0, 0, 0}, 20.0f);
    DrawItem wall = unlitQuad({0, 0, 0}, 0);
    wall.material = {};
    wall.material.baseColor = {albedo, albedo, albedo, 1};
    wall.material.roughness = 1.0f;
    wall.material.specular = 0.0f;
    packet.draws.push_back(wall);

    // The key light shines away from the wall (it lights nothing seen);
    // the flash shines onto it.
    const DirectionalLightRecord key{{0, 0, 1}, {1, 1, 1}, 3000.0f, true, 20.0f, 1.0f};
    const DirectionalLightRecord flash{{0, 0, -1}, {0.5f, 1.0f, 1.0f}, 2000.0f, false, 20.0f, 1.0f};
    packet.directionalLights = {key};
    draw(packet);
    EXPECT_LT(hdrPixel(size / 2, size / 2).g, 1e-4f);

    packet.directionalLights = {key, flash};
    draw(packet);
    const float expected = albedo / std::numbers::pi_v<float> * 2000.0f * exposure;
    EXPECT_NEAR(hdrPixel(size / 2, size / 2).g, expected, expected * 0.03f);
    EXPECT_NEAR(hdrPixel(size / 2, size / 2).r, expected * 0.5f, expected * 0.03f);

    // A dark light costs nothing and adds nothing.
    packet.directionalLights = {key, {{0, 0, -1}, {1, 1, 1}, 0.0f, false, 20.0f, 1.0f}};
    draw(packet);
    EXPECT_LT(hdrPixel(size / 2, size / 2).g, 1e-4f);

    // The shadowed light keeps the shadow map wherever it is listed: a
    // caster in front of the wall shades it from that light only.
    DrawItem caster;
    caster.mesh = PrimitiveMeshes::box({4.0f, 4.0f, 0.1f});
    caster.world = glm::translate(glm::mat4(1.0f), glm::vec3(0, 0, 8)); // behind the camera
    packet.draws.push_back(caster);
    const DirectionalLightRecord shadowedFront{{0, 0, -1}, {1, 1, 1}, 3000.0f, true, 30.0f, 1.0f};
    packet.directionalLights = {flash, shadowedFront};
    draw(packet);
    EXPECT_NEAR(hdrPixel(size / 2, size / 2).g, expected, expected * 0.05f); // the flash only: the other is blocked
}

TEST_F(RendererTest, belowFullScaleTheSceneDrawsSmallerAndIsScaledUpToTheOutput)
{
    auto packet = lookingAt({0, 0, 4}, {0, 0, 0}, 20.0f);
    packet.draws.push_back(unlitQuad({0.2f, 0.6f, 0.3f}, 0));
    packet.environment.background = {0, 0, 0, 1};
    packet.labels.push_back({"Gloamyard", {0.5f, 0.85f}, 9.0f, false});
    draw(packet);
    const auto fullSize = shown;

    renderer.resolution().pin(0.5f);
    draw(packet);
    EXPECT_EQ(renderer.sceneColor()->width(), size / 2);
    EXPECT_EQ(renderer.postTarget()->height(), size / 2);
    ASSERT_EQ(shown.size(), fullSize.size());
    // The flat middle looks the same; the labels are drawn at full size.
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(shownPixel(32, 32)[c], fullSize[(32 * size + 32) * 4 + static_cast<size_t>(c)], 2);
    int labelDifferences = 0;
    for (int y = 50; y < 60; ++y) {
        for (int x = 0; x < size; ++x) {
            const size_t i = (static_cast<size_t>(y) * size + static_cast<size_t>(x)) * 4;
            labelDifferences += std::abs(int(shown[i]) - int(fullSize[i])) > 3 ? 1 : 0;
        }
    }
    EXPECT_EQ(labelDifferences, 0);
    renderer.resolution().pin(0.0f);
}

TEST_F(RendererTest, drawsOutsideTheViewAreCulledWithoutChangingThePicture)
{
    auto packet = lookingAt({0, 0, 4}, {0, 0, 0}, 20.0f);
    packet.draws.push_back(unlitQuad({1, 1, 1}, 0));
    draw(packet);
    const auto alone = shown;
    EXPECT_EQ(renderer.drawCounts().drawn, 1);
    DrawItem behind = unlitQuad({1, 0, 0}, 10); // behind the camera
    DrawItem aside = unlitQuad({0, 1, 0}, 0);
    aside.world = glm::translate(glm::mat4(1.0f), glm::vec3(30, 0, 0));
    packet.draws.push_back(behind);
    packet.draws.push_back(aside);
    draw(packet);
    EXPECT_EQ(renderer.drawCounts().drawn, 1);
    EXPECT_EQ(renderer.drawCounts().culled, 2);
    EXPECT_EQ(shown, alone);
}

TEST_F(RendererTest, thePostProcessIsToldTheTierAndWhetherItMayWorkAtQuarterSize)
{
    std::vector<std::pair<QualityTier, bool>> seen;
    renderer.setPostProcess([&](const PostProcessContext& frame) {
        seen.emplace_back(frame.quality, frame.quarterSize);
        frame.commandBuffer->copy(*frame.sourceColorTexture, *frame.targetColorTexture);
    });
    auto packet = lookingAt({0, 0, 4}, {0, 0, 0}, 20.0f);
    RenderQuality quality = RenderQuality::of(QualityTier::software);
    renderer.setQuality(quality);
    draw(packet);
    quality.quarterSizePost = false;
    renderer.setQuality(quality);
    draw(packet);
    renderer.setQuality(RenderQuality::of(QualityTier::full));
    draw(packet);
    EXPECT_EQ(seen, (std::vector<std::pair<QualityTier, bool>>{
                        {QualityTier::software, true}, {QualityTier::software, false}, {QualityTier::full, false}}));
}

TEST_F(RendererTest, aPostProcessThatThrowsLeavesThePlainFrame)
{
    renderer.setPostProcess([](const PostProcessContext&) { throw std::runtime_error("kernel exploded"); });
    auto packet = lookingAt({0, 0, 4}, {0, 0, 0}, 20.0f);
    packet.draws.push_back(unlitQuad({1, 1, 1}, 0));
    EXPECT_NO_THROW(draw(packet));
    EXPECT_EQ(renderer.postTarget()->readFloats(), renderer.sceneColor()->readFloats());
    EXPECT_NEAR(shownPixel(32, 32).g, displayCode(toneMapped(1.0f)), 2);
}

TEST_F(RendererTest, theQualityTierSetsTheSoftwareRenderersTradeOffs)
{
    renderer.setQualityTier(QualityTier::software);
    EXPECT_EQ(renderer.quality().tier, QualityTier::software);
    EXPECT_TRUE(renderer.resolution().enabled());
    renderer.setQualityTier(QualityTier::full);
    EXPECT_FALSE(renderer.resolution().enabled());
    EXPECT_EQ(renderer.renderScale(), 1.0f);
    // The tier reaches the post-process.
    QualityTier seen = QualityTier::full;
    renderer.setQualityTier(QualityTier::software);
    renderer.setPostProcess([&](const PostProcessContext& frame) {
        seen = frame.quality;
        frame.commandBuffer->copy(*frame.sourceColorTexture, *frame.targetColorTexture);
    });
    draw(lookingAt({0, 0, 4}, {0, 0, 0}));
    EXPECT_EQ(seen, QualityTier::software);
}

// The ghost's pattern: a new mesh every frame, the last one dropped. The
// GL copies of meshes no packet shows any more are released by the next
// frame, so the cache holds no train of them; what is still shown stays.
TEST_F(RendererTest, glCopiesOfMeshesNoLongerShownAreReleased)
{
    auto picture = std::make_shared<ImageData>();
    picture->id = ImageData::nextId();
    picture->width = 4;
    picture->height = 4;
    picture->bytes.assign(4 * 4 * 4, 200);
    const std::size_t pictureBytes = (4 * 4 + 2 * 2 + 1 * 1) * 4; // every mip level, RGBA8

    FramePacket packet = lookingAt({0, 0, 5}, {0, 0, 0});
    DrawItem kept = unlitQuad({1, 1, 1}, 0.0f);
    kept.material.baseColorTexture = picture;
    packet.draws.push_back(kept);
    draw(packet);
    const GpuResourceCache::Stats first = renderer.resourceStats();
    EXPECT_EQ(first.meshes, 1u);
    EXPECT_EQ(first.textures, 1u);
    ASSERT_GT(first.bytes, pictureBytes);
    const std::size_t meshBytes = first.bytes - pictureBytes;

    constexpr int frames = 200;
    for (int i = 0; i < frames; ++i) {
        FramePacket next = lookingAt({0, 0, 5}, {0, 0, 0});
        next.draws.push_back(kept);
        next.draws.push_back(unlitQuad({0.2f, 0.4f, 0.6f}, 0.5f)); // a mesh of its own, dropped after the frame
        draw(next);
    }
    const GpuResourceCache::Stats after = renderer.resourceStats();
    EXPECT_EQ(after.textures, 1u) << "the picture every frame shows stays";
    EXPECT_GE(after.meshes, 1u) << "the mesh every frame shows stays";
    EXPECT_LE(after.meshes, 3u) << "meshes of earlier frames are still held";
    EXPECT_EQ(after.bytes, pictureBytes + after.meshes * meshBytes) << "the bytes follow the entries";
}

TEST(OffscreenTargetTest, aFramebufferTheGlCannotMakeIsAnError)
{
    gloam::render::HeadlessContext context;
    auto device = gloam::gpu::GpuDevice::create();
    EXPECT_THROW(OffscreenTarget(1 << 20, 4), std::runtime_error);
    OffscreenTarget fine(8, 8);
    EXPECT_NE(fine.framebuffer(), 0u);
}

} // namespace
