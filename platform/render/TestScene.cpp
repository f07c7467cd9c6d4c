#include "platform/render/TestScene.h"

#include "platform/render/PrimitiveMeshes.h"
#include "platform/render/StudioEnvironment.h"

#include <glm/gtc/matrix_transform.hpp>

namespace gloam::render {

FramePacket TestScene::build(float aspectHint)
{
    (void)aspectHint;
    FramePacket packet;
    packet.camera.world = glm::inverse(
        glm::lookAt(glm::vec3(0.0f, 2.6f, 7.5f), glm::vec3(0.0f, 0.7f, 0.0f), glm::vec3(0.0f, 1.0f, 0.0f)));
    packet.camera.verticalFieldOfView = glm::radians(40.0f);
    packet.camera.nearPlane = 0.1f;
    packet.camera.farPlane = 100.0f;
    packet.environment.background = {0.02f, 0.025f, 0.04f, 1.0f};
    static const ImagePtr studio = [] {
        auto image = std::make_shared<ImageData>();
        image->id = ImageData::nextId();
        image->width = StudioEnvironment::width;
        image->height = StudioEnvironment::height;
        image->encoding = ImageData::Encoding::float32;
        image->floats = StudioEnvironment::pixels();
        return image;
    }();
    packet.environment.image = studio;
    packet.environment.intensityExponent = -1.0f;

    DrawItem ground;
    ground.mesh = PrimitiveMeshes::plane(14.0f, 10.0f);
    ground.material.baseColor = {0.45f, 0.42f, 0.38f, 1.0f};
    ground.material.roughness = 0.85f;
    packet.draws.push_back(ground);

    const auto sphere = PrimitiveMeshes::sphere(0.5f);
    for (int i = 0; i < 5; ++i) {
        DrawItem item;
        item.mesh = sphere;
        item.world = glm::translate(glm::mat4(1.0f), glm::vec3(-2.6f + 1.3f * static_cast<float>(i), 0.5f, 0.0f));
        item.material.roughness = 0.1f + 0.2f * static_cast<float>(i);
        item.material.metallic = i >= 3 ? 1.0f : 0.0f;
        item.material.baseColor = i >= 3 ? glm::vec4(0.95f, 0.7f, 0.35f, 1.0f) : glm::vec4(0.7f, 0.12f, 0.1f, 1.0f);
        packet.draws.push_back(item);
    }

    DrawItem glow;
    glow.mesh = PrimitiveMeshes::sphere(0.3f);
    glow.world = glm::translate(glm::mat4(1.0f), glm::vec3(1.2f, 0.3f, 1.6f));
    glow.material.baseColor = {0.05f, 0.05f, 0.05f, 1.0f};
    glow.material.emissiveColor = {0.2f, 0.9f, 1.0f};
    glow.material.emissiveIntensity = 4.0f;
    glow.castsShadow = false;
    packet.draws.push_back(glow);

    DrawItem glass;
    glass.mesh = PrimitiveMeshes::sphere(0.45f);
    glass.world = glm::translate(glm::mat4(1.0f), glm::vec3(-1.0f, 0.45f, 1.5f));
    glass.material.baseColor = {0.3f, 0.6f, 1.0f, 1.0f};
    glass.material.roughness = 0.05f;
    glass.material.transparent = true;
    glass.material.opacity = 0.4f;
    packet.draws.push_back(glass);

    DrawItem block;
    block.mesh = PrimitiveMeshes::box({0.8f, 1.6f, 0.8f});
    block.world = glm::rotate(glm::translate(glm::mat4(1.0f), glm::vec3(3.4f, 0.8f, -1.6f)), 0.5f, glm::vec3(0, 1, 0));
    block.material.baseColor = {0.2f, 0.35f, 0.25f, 1.0f};
    block.material.roughness = 0.6f;
    packet.draws.push_back(block);

    packet.pointLights.push_back({{1.2f, 0.35f, 1.6f}, {0.3f, 0.9f, 1.0f}, 6000.0f, 4.0f});
    packet.pointLights.push_back({{-2.5f, 2.0f, 1.5f}, {1.0f, 0.6f, 0.3f}, 20000.0f, 8.0f});

    DirectionalLightRecord sun;
    sun.direction = glm::normalize(glm::vec3(0.5f, -1.0f, -0.6f));
    sun.color = {1.0f, 0.95f, 0.9f};
    sun.intensity = 1500.0f;
    sun.shadowMaximumDistance = 15.0f;
    packet.directionalLights = {sun};
    return packet;
}

} // namespace gloam::render
