#include "platform/assets/AnimationPlaybackController.h"

#include "platform/scene/Entity.h"

#include <glm/gtc/quaternion.hpp>

#include <algorithm>

namespace gloam::platform {

AnimationPlaybackController::AnimationPlaybackController(AnimationPtr animation, double transitionDuration,
                                                         bool startsPaused)
    : animation_(std::move(animation))
    , transition_(std::max(transitionDuration, 0.0))
    , paused_(startsPaused)
{
    if (transition_ > 0.0) {
        for (const auto& channel : animation_->channels()) {
            if (auto target = channel.target.lock()) {
                startPoses_.push_back({target, target->transform()});
            }
        }
    }
    pose();
}

void AnimationPlaybackController::setTime(double time)
{
    time_ = std::max(time, 0.0);
    pose();
}

void AnimationPlaybackController::advance(double seconds)
{
    if (!isPlaying()) {
        return;
    }
    time_ += std::max(seconds, 0.0);
    pose();
    if (time_ >= animation_->duration()) {
        stop(); // a single pass or a finite repeat has ended
    }
}

void AnimationPlaybackController::pose()
{
    animation_->apply(animation_->clipTime(time_));
    if (transition_ <= 0.0 || time_ >= transition_) {
        return;
    }
    // Blend from where the targets stood when playback began.
    const float w = static_cast<float>(time_ / transition_);
    for (const auto& start : startPoses_) {
        auto target = start.target.lock();
        if (!target) {
            continue;
        }
        Transform t = target->transform();
        t.translation = glm::mix(start.transform.translation, t.translation, w);
        t.scale = glm::mix(start.transform.scale, t.scale, w);
        t.rotation = glm::normalize(glm::slerp(start.transform.rotation, t.rotation, w));
        target->setTransform(t);
    }
}

} // namespace gloam::platform
