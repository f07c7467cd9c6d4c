#pragma once

#include "engine/prefs/Vehicle.h"
#include "saver/SaverGeometry.h"

#include <functional>

namespace gloam::saver {

// The scene a saver view hosts, as the view sees it: what it asks of the
// scene view it creates, hands over and stops. The program's scene wraps a
// GhostView (SaverGhostScene); tests hand in their own.
class SaverScene {
public:
    virtual ~SaverScene() = default;

    virtual Vehicle vehicle() const = 0;
    // Frame updates run so far; printed when the scene is released.
    virtual int updateCount() const = 0;
    virtual void setFrame(SaverSize size) = 0;
    // Called once the scene has loaded; replaced when another view adopts it.
    virtual void setOnReady(std::function<void()> callback) = 0;
    virtual void refreshSoundPreferences() = 0;
    virtual void allowSoundOutput(bool allowed) = 0;
    // The opening title sequence and its music start again.
    virtual void startOpening() = 0;
    // Ends the scene for good.
    virtual void stop() = 0;
};

} // namespace gloam::saver
