#include "tools/post/NightScene.h"

#include "platform/render/PrimitiveMeshes.h"

#include <glm/gtc/matrix_transform.hpp>

#include <cmath>

namespace gloam::tools {

namespace {

render::DrawItem item(render::MeshPtr mesh, glm::vec3 position, glm::vec4 color, float roughness = 0.8f)
{
    render::DrawItem draw;
    draw.mesh = std::move(mesh);
    draw.world = glm::translate(glm::mat4(1.0f), position);
    draw.material.baseColor = color;
    draw.material.roughness = roughness;
    return draw;
}

render::DrawItem glowing(render::MeshPtr mesh, glm::vec3 position, glm::vec3 emissive, float intensity)
{
    render::DrawItem draw = item(std::move(mesh), position, {0.02f, 0.02f, 0.02f, 1.0f});
    draw.material.emissiveColor = emissive;
    draw.material.emissiveIntensity = intensity;
    draw.castsShadow = false;
    return draw;
}

} // namespace

render::FramePacket NightScene::build(float yaw, float elevation, double time)
{
    render::FramePacket packet;
    packet.time = time;

    // The scene's orbit camera.
    const float distance = landmarks::cameraDistance;
    const glm::vec3 target(0.0f, landmarks::orbitTargetHeight, 0.0f);
    const glm::vec3 eye = target + distance * glm::vec3(std::cos(elevation) * std::sin(yaw), std::sin(elevation),
                                                        std::cos(elevation) * std::cos(yaw));
    packet.camera.world = glm::inverse(glm::lookAt(eye, target, glm::vec3(0.0f, 1.0f, 0.0f)));
    packet.camera.verticalFieldOfView = glm::radians(landmarks::fieldOfViewDegrees);
    packet.camera.nearPlane = 0.1f;
    packet.camera.farPlane = 500.0f;
    packet.environment.background = {0.008f, 0.012f, 0.028f, 1.0f};

    packet.draws.push_back(item(render::PrimitiveMeshes::plane(140.0f, 140.0f), {0, 0, 0}, {0.16f, 0.17f, 0.15f, 1}));

    // The vehicle under its cover, front towards −x, rear lights at x = 2.56.
    packet.draws.push_back(
        item(render::PrimitiveMeshes::box({4.9f, 0.9f, 1.9f}), {0, 0.55f, 0}, {0.05f, 0.05f, 0.06f, 1}, 0.35f));
    render::DrawItem cover =
        glowing(render::PrimitiveMeshes::box({3.2f, 0.55f, 1.8f}), {0.3f, 1.25f, 0}, {0.35f, 0.85f, 1.0f}, 0.9f);
    cover.material.baseColor = {0.3f, 0.6f, 0.7f, 1.0f};
    packet.draws.push_back(cover);
    for (float z : {-0.7f, 0.7f}) {
        packet.draws.push_back(glowing(render::PrimitiveMeshes::box({0.05f, 0.12f, 0.35f}), {2.47f, 0.95f, z},
                                       {1.0f, 0.05f, 0.03f}, 6.0f));
    }

    // House and graveyard behind the vehicle, along the view axis.
    constexpr landmarks::Point3 h = landmarks::houseDirection, r = landmarks::viewRight;
    const glm::vec3 away = glm::normalize(glm::vec3(h.x, h.y, h.z));
    const glm::vec3 side = glm::normalize(glm::vec3(r.x, r.y, r.z));
    packet.draws.push_back(item(render::PrimitiveMeshes::box({6.0f, 3.6f, 5.0f}),
                                away * 16.0f + side * 4.5f + glm::vec3(0, 1.8f, 0), {0.11f, 0.1f, 0.1f, 1}));
    packet.draws.push_back(glowing(render::PrimitiveMeshes::box({0.5f, 0.7f, 0.5f}),
                                   away * 13.4f + side * 3.5f + glm::vec3(0, 1.9f, 0), {1.0f, 0.62f, 0.25f}, 2.2f));
    for (int i = 0; i < 9; ++i) {
        const float along = 4.5f + 1.6f * static_cast<float>(i % 3);
        const float across = -4.5f + 1.4f * static_cast<float>(i) - 0.3f * static_cast<float>(i % 2);
        packet.draws.push_back(item(render::PrimitiveMeshes::box({0.5f, 0.9f, 0.15f}),
                                    away * along + side * across + glm::vec3(0, 0.45f, 0), {0.3f, 0.31f, 0.33f, 1}));
    }

    // Pumpkins: glowing orange, brighter when `time` puts them mid-glow.
    const auto pumpkin = render::PrimitiveMeshes::sphere(0.2f, 24, 12);
    for (glm::vec3 at : {away * 4.0f + side * 3.0f, away * 7.5f + side * -3.2f, away * -3.5f + side * 3.1f}) {
        packet.draws.push_back(glowing(pumpkin, at + glm::vec3(0, 0.18f, 0), {1.0f, 0.42f, 0.08f}, 1.6f));
    }

    // Fireflies and the moon.
    const auto firefly = render::PrimitiveMeshes::sphere(0.035f, 8, 4);
    for (int i = 0; i < 14; ++i) {
        const float angle = 0.9f * static_cast<float>(i) + 0.2f;
        const float radius = 3.4f + 0.37f * static_cast<float>(i);
        const float height = 0.25f + 0.19f * static_cast<float>((i * 5) % 13);
        packet.draws.push_back(glowing(firefly, {radius * std::cos(angle), height, radius * std::sin(angle)},
                                       {0.75f, 1.0f, 0.45f}, 14.0f));
    }
    packet.draws.push_back(glowing(render::PrimitiveMeshes::sphere(0.55f),
                                   away * 23.0f + side * -0.96f + glm::vec3(0, 2.46f, 0), {0.85f, 0.92f, 1.0f}, 3.0f));

    // Moonlight and the vehicle's cyan fill lights.
    render::DirectionalLightRecord moon;
    moon.direction = glm::normalize(glm::vec3(4.0f, -2.9f, -4.0f));
    moon.color = {0.55f, 0.65f, 0.95f};
    moon.intensity = 1200.0f;
    moon.shadowMaximumDistance = 30.0f;
    packet.directionalLights = {moon};
    packet.pointLights.push_back({{1.0f, 2.0f, -3.0f}, {0.0f, 0.7f, 1.0f}, 6000.0f, 10.0f});
    packet.pointLights.push_back({{-2.0f, 0.25f, 2.0f}, {0.0f, 0.7f, 1.0f}, 1300.0f, 4.0f});
    return packet;
}

} // namespace gloam::tools
