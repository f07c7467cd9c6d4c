#pragma once

#include "saver/SaverScene.h"

#include <memory>

namespace gloam {
class GhostView;
}

namespace gloam::saver {

// The saver's scene: a GhostView made in saver mode (not interactive,
// saver sound). The window showing it runs its frame updates.
class SaverGhostScene : public SaverScene {
public:
    SaverGhostScene(SaverSize frame, Vehicle vehicle);
    ~SaverGhostScene() override;

    GhostView& view() { return *view_; }

    Vehicle vehicle() const override;
    int updateCount() const override;
    void setFrame(SaverSize size) override;
    void setOnReady(std::function<void()> callback) override;
    void refreshSoundPreferences() override;
    void allowSoundOutput(bool allowed) override;
    void startOpening() override;
    void stop() override;

private:
    std::shared_ptr<GhostView> view_;
};

} // namespace gloam::saver
