#include "platform/assets/AnimationResource.h"

#include "platform/scene/Entity.h"

#include <algorithm>
#include <cmath>

namespace gloam::platform {

AnimationPtr AnimationResource::make(std::string name, std::vector<AnimationChannel> channels)
{
    return AnimationPtr(new AnimationResource(
        std::move(name), std::make_shared<const std::vector<AnimationChannel>>(std::move(channels))));
}

AnimationResource::AnimationResource(std::string name, std::shared_ptr<const std::vector<AnimationChannel>> channels)
    : name_(std::move(name))
    , channels_(std::move(channels))
{
    for (const auto& channel : *channels_) {
        clipDuration_ = std::max(clipDuration_, static_cast<double>(channel.duration()));
    }
}

AnimationPtr AnimationResource::repeat(double duration) const
{
    auto copy = AnimationPtr(new AnimationResource(name_, channels_));
    auto& mutableCopy = const_cast<AnimationResource&>(*copy);
    mutableCopy.repeats_ = true;
    mutableCopy.repeatDuration_ = duration;
    return copy;
}

double AnimationResource::clipTime(double playbackTime) const
{
    if (playbackTime <= 0.0 || clipDuration_ <= 0.0) {
        return 0.0;
    }
    if (!repeats_) {
        return std::min(playbackTime, clipDuration_);
    }
    const double capped = std::min(playbackTime, repeatDuration_);
    const double wrapped = std::fmod(capped, clipDuration_);
    // The very end of a finite repeat shows the last frame, not the first.
    return (wrapped == 0.0 && capped > 0.0 && capped == repeatDuration_) ? clipDuration_ : wrapped;
}

void AnimationResource::apply(double clipTime) const
{
    const float t = static_cast<float>(clipTime);
    for (const auto& channel : *channels_) {
        auto target = channel.target.lock();
        if (!target) {
            continue;
        }
        const glm::vec4 v = channel.sample(t);
        switch (channel.path) {
        case AnimationChannel::Path::translation:
            target->setPosition(glm::vec3(v));
            break;
        case AnimationChannel::Path::rotation:
            target->setOrientation(glm::quat(v.w, v.x, v.y, v.z));
            break;
        case AnimationChannel::Path::scale:
            target->setScale(glm::vec3(v));
            break;
        }
    }
}

} // namespace gloam::platform
