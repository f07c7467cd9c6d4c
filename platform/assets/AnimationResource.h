#pragma once

#include "platform/assets/AnimationChannel.h"

#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace gloam::platform {

class AnimationResource;
using AnimationPtr = std::shared_ptr<const AnimationResource>;

// An animation clip bound to the entities it moves. Immutable.
class AnimationResource {
public:
    static AnimationPtr make(std::string name, std::vector<AnimationChannel> channels);

    // The same clip played over and over for `duration` seconds (infinite
    // by default).
    AnimationPtr repeat(double duration = std::numeric_limits<double>::infinity()) const;

    const std::string& name() const { return name_; }
    const std::vector<AnimationChannel>& channels() const { return *channels_; }
    // One pass of the clip.
    double clipDuration() const { return clipDuration_; }
    // How long playing it lasts: one pass, or the repeat duration.
    double duration() const { return repeats_ ? repeatDuration_ : clipDuration_; }
    bool repeats() const { return repeats_; }
    // The clip time at a playback time (wrapping when repeated).
    double clipTime(double playbackTime) const;
    // Poses every live target at a clip time.
    void apply(double clipTime) const;

private:
    AnimationResource(std::string name, std::shared_ptr<const std::vector<AnimationChannel>> channels);

    std::string name_;
    std::shared_ptr<const std::vector<AnimationChannel>> channels_;
    double clipDuration_ = 0.0;
    bool repeats_ = false;
    double repeatDuration_ = 0.0;
};

} // namespace gloam::platform
