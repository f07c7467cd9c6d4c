#pragma once

#include "saver/SaverGeometry.h"

#include <memory>
#include <optional>

namespace gloam::saver {

class SaverScene;

// The window a saver view sits in: the host's window (or a window of the
// saver's own). It knows its monitor and shows the scene the view adds.
class SaverWindow {
public:
    virtual ~SaverWindow() = default;

    // The monitor the window is on; none while it is on none.
    virtual std::optional<SaverScreen> screen() const = 0;
    // Shows `scene` (the view's subview) until it is removed again.
    virtual void addScene(const std::shared_ptr<SaverScene>& scene) = 0;
    virtual void removeScene(const SaverScene& scene) = 0;
};

} // namespace gloam::saver
