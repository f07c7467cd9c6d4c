#pragma once

#include "engine/timelines/OpeningTiming.h"
#include "platform/scene/Entity.h"
#include "platform/scene/PerspectiveCamera.h"

#include <memory>

namespace gloam {

// The title sequence that plays when the scene starts: a layered picture
// hung in front of the camera, posed from its own clock. Its root hangs
// under the camera and is enabled only while it plays.
//
// This holds the sequence's clock and root; its picture layers (panorama,
// title, bolts, bats, witch) are posed from the same clock by `seek`.
class OpeningSequence {
public:
    // Builds the sequence and hangs its root under `camera`. Throws when a
    // resource it needs cannot be loaded.
    explicit OpeningSequence(const std::shared_ptr<platform::PerspectiveCamera>& camera);

    const platform::EntityPtr& root() const { return root_; }
    const OpeningTiming& clock() const { return clock_; }
    double time() const { return clock_.time; }
    bool isPlaying() const { return clock_.playing; }

    // Fits the layers to a view of this width / height and vertical field
    // of view in degrees.
    void layout(float aspect, float fieldOfView);

    void start();
    void skip();
    // Moves the clock and poses the layers; whether it still plays.
    bool advance(double step);
    void seek(double time);

private:
    platform::EntityPtr root_;
    OpeningTiming clock_;
    float aspect_ = 2.4F;
    float fieldOfView_ = 10.5F;
};

} // namespace gloam
