#include "ModelFixture.h"

#include "platform/assets/AnimationPlaybackController.h"
#include "platform/assets/ModelLoader.h"
#include "platform/scene/Scene.h"

#include <glm/gtc/quaternion.hpp>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace gloam::platform;

namespace {

AnimationChannel channel(AnimationChannel::Interpolation interpolation, std::vector<float> times,
                         std::vector<glm::vec4> values,
                         AnimationChannel::Path path = AnimationChannel::Path::translation)
{
    AnimationChannel c;
    c.interpolation = interpolation;
    c.path = path;
    c.times = std::move(times);
    c.values = std::move(values);
    return c;
}

} // namespace

TEST(AnimationSampling, AtAndBetweenKeys)
{
    using I = AnimationChannel::Interpolation;
    const auto step = channel(I::step, {0, 1, 2}, {{0, 0, 0, 0}, {1, 0, 0, 0}, {5, 0, 0, 0}});
    const auto linear = channel(I::linear, {1, 3}, {{0, 0, 0, 0}, {4, 0, 0, 0}});
    // Cubic spline keys: in-tangent, value, out-tangent.
    const auto cubic = channel(I::cubicSpline, {0, 2},
                               {{0, 0, 0, 0}, {0, 0, 0, 0}, {1, 0, 0, 0}, {0, 0, 0, 0}, {1, 0, 0, 0}, {0, 0, 0, 0}});
    struct Case {
        const AnimationChannel* channel;
        float t;
        float x;
    };
    const Case cases[] = {
        {&step, 0.0f, 0},
        {&step, 0.99f, 0},
        {&step, 1.0f, 1},
        {&step, 1.5f, 1},
        {&step, 2.0f, 5},
        {&step, 9.0f, 5},
        {&linear, 0.0f, 0},
        {&linear, 1.0f, 0},
        {&linear, 2.0f, 2},
        {&linear, 2.5f, 3},
        {&linear, 3.0f, 4},
        {&linear, 4.0f, 4},
        // Hermite with p0 = 0, p1 = 1, m0 = out-tangent × interval = 2, m1 = 0: at u = 0.5, 0.5 + 0.125 × 2.
        {&cubic, 0.0f, 0},
        {&cubic, 1.0f, 0.75f},
        {&cubic, 2.0f, 1},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(c.channel->sample(c.t).x, c.x, 1e-5f) << "t = " << c.t;
    }

    // Rotations take the shorter arc and stay unit length.
    const glm::quat a = glm::angleAxis(0.0f, glm::vec3(0, 1, 0));
    const glm::quat b = glm::angleAxis(glm::radians(90.0f), glm::vec3(0, 1, 0));
    const auto rotation =
        channel(I::linear, {0, 1}, {{a.x, a.y, a.z, a.w}, {-b.x, -b.y, -b.z, -b.w}}, AnimationChannel::Path::rotation);
    const glm::vec4 half = rotation.sample(0.5f);
    const glm::quat q(half.w, half.x, half.y, half.z);
    EXPECT_NEAR(glm::length(half), 1.0f, 1e-5f);
    EXPECT_NEAR(glm::degrees(glm::angle(q)), 45.0f, 1e-2f);
}

TEST(AnimationPlayback, LoadedClipPlaysRepeatsPausesAndStops)
{
    const auto path = std::filesystem::temp_directory_path() / ("gloam-anim-" + std::to_string(::getpid()) + ".glb");
    gloam::testing::vehicleFixture().write(path);
    auto root = ModelLoader::loadNow(path, "Corsel");
    std::filesystem::remove(path);
    Scene scene;
    scene.addAnchor(root);
    auto body = root->findEntity("Env_Body");
    auto wheel = root->findEntity("Wheel");
    auto bone = root->findEntity("Bone1");

    const auto clip = root->availableAnimations().at(0)->repeat();
    EXPECT_TRUE(std::isinf(clip->duration()));
    auto playback = root->playAnimation(clip, 0.0, /*startsPaused=*/true);
    scene.update(0.5);
    EXPECT_DOUBLE_EQ(playback->time(), 0.0); // paused from the start

    playback->resume();
    scene.update(0.5);
    EXPECT_DOUBLE_EQ(playback->time(), 0.5);
    EXPECT_NEAR(glm::degrees(glm::angle(wheel->orientation())), 45.0f, 0.01f);
    EXPECT_NEAR(body->position().y, 0.0f, 1e-6f);
    EXPECT_NEAR(bone->position().x, 0.75f * 0 + 0.5f + 0.125f * 2, 1e-4f); // cubic at u = 0.5 over 1 s

    scene.update(0.75);
    EXPECT_NEAR(body->position().y, 1.0f, 1e-6f); // stepped at t = 1

    // Repeating: 2.25 s into the clip is 0.25 s into the second pass.
    scene.update(1.0);
    EXPECT_NEAR(playback->time(), 2.25, 1e-9);
    EXPECT_NEAR(body->position().y, 0.0f, 1e-6f);

    playback->pause();
    scene.update(1.0);
    EXPECT_NEAR(playback->time(), 2.25, 1e-9);

    playback->setTime(1.5);
    EXPECT_NEAR(body->position().y, 1.0f, 1e-6f);

    playback->stop();
    scene.update(1.0);
    EXPECT_TRUE(playback->isStopped());
    EXPECT_NEAR(playback->time(), 1.5, 1e-9);
    EXPECT_NEAR(body->position().y, 1.0f, 1e-6f); // the last pose stays
}

TEST(AnimationPlayback, TransitionBlendsFromThePoseBefore)
{
    auto target = Entity::make("target");
    target->setPosition({10, 0, 0});
    AnimationChannel c;
    c.target = target;
    c.interpolation = AnimationChannel::Interpolation::step;
    c.times = {0};
    c.values = {{0, 0, 0, 0}};
    auto clip = AnimationResource::make("hold", {c})->repeat();
    auto playback = target->playAnimation(clip, /*transitionDuration=*/1.0, false);
    EXPECT_NEAR(target->position().x, 10.0f, 1e-5f);
    target->advanceAnimations(0.25);
    EXPECT_NEAR(target->position().x, 7.5f, 1e-5f);
    target->advanceAnimations(1.0);
    EXPECT_NEAR(target->position().x, 0.0f, 1e-5f);

    // A single pass ends by itself.
    auto once = AnimationResource::make("once", {c});
    auto single = target->playAnimation(once);
    EXPECT_TRUE(playback->isStopped()); // the new playback replaced the old one
    target->advanceAnimations(0.1);
    EXPECT_TRUE(single->isStopped());
}
