#pragma once

#include "platform/assets/AnimationResource.h"
#include "platform/scene/Transform.h"

#include <memory>
#include <vector>

namespace gloam::platform {

class Entity;

// One playback of an animation on an entity tree. The scene's update moves
// it on (`advance`); the owner pauses, resumes, stops it or sets its time.
class AnimationPlaybackController {
public:
    AnimationPlaybackController(AnimationPtr animation, double transitionDuration, bool startsPaused);

    void pause() { paused_ = true; }
    void resume()
    {
        if (!stopped_)
            paused_ = false;
    }
    // Ends the playback for good; the targets keep their last pose.
    void stop() { stopped_ = true; }

    bool isPaused() const { return paused_; }
    bool isStopped() const { return stopped_; }
    bool isPlaying() const { return !paused_ && !stopped_; }

    // Playback time in seconds since the start.
    double time() const { return time_; }
    // Jumps to a playback time and poses the targets there.
    void setTime(double time);
    double duration() const { return animation_->duration(); }
    const AnimationPtr& animation() const { return animation_; }

    // Moves on by `seconds` when playing, and poses the targets. A clip
    // that is not repeated stops at its end.
    void advance(double seconds);

private:
    struct StartPose {
        std::weak_ptr<Entity> target;
        Transform transform;
    };
    void pose();

    AnimationPtr animation_;
    double transition_;
    double time_ = 0.0;
    bool paused_;
    bool stopped_ = false;
    std::vector<StartPose> startPoses_;
};

} // namespace gloam::platform
