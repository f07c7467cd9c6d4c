#pragma once

#include "platform/render/FramePacketBuilder.h"
#include "saver/SaverWindow.h"

#include <functional>
#include <memory>

class QScreen;

namespace gloam::render {
class RenderWindow;
}

namespace gloam::saver {

class SaverGhostScene;

// A saver window that draws: the scene the view adds runs its frame
// updates in a render window (inside the host's X window, or a window of
// the saver's own) and is drawn there. Without a scene the render window is
// hidden, so nothing is drawn and the host's black shows.
class SaverSurface : public SaverWindow {
public:
    // `screen` finds the monitor the window is on now (null: none).
    // `hideWhenEmpty`: hide the render window while no scene is shown
    // (inside a host's window; a window of the saver's own stays up).
    SaverSurface(std::unique_ptr<render::RenderWindow> window, std::function<QScreen*()> screen, bool hideWhenEmpty);
    ~SaverSurface() override;

    std::optional<SaverScreen> screen() const override;
    void addScene(const std::shared_ptr<SaverScene>& scene) override;
    void removeScene(const SaverScene& scene) override;

    render::RenderWindow& renderWindow() { return *window_; }
    bool showsScene() const { return scene_ != nullptr; }

private:
    std::unique_ptr<render::RenderWindow> window_;
    std::function<QScreen*()> screen_;
    bool hideWhenEmpty_;
    std::shared_ptr<SaverGhostScene> scene_;
    render::FramePacketBuilder builder_;
    double time_ = 0;
};

} // namespace gloam::saver
