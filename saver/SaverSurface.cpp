#include "saver/SaverSurface.h"

#include "engine/scene/GhostView.h"
#include "engine/scene/SceneLabels.h"
#include "platform/render/window/RenderWindow.h"
#include "saver/SaverGhostScene.h"
#include "saver/SaverProcessServices.h"

namespace gloam::saver {

SaverSurface::SaverSurface(std::unique_ptr<render::RenderWindow> window, std::function<QScreen*()> screen,
                           bool hideWhenEmpty)
    : window_(std::move(window))
    , screen_(std::move(screen))
    , hideWhenEmpty_(hideWhenEmpty)
{
    window_->setFrameUpdate([this](double delta) -> std::shared_ptr<const render::FramePacket> {
        if (!scene_) {
            return nullptr;
        }
        GhostView& view = scene_->view();
        view.render().scene().update(delta);
        time_ += delta;
        auto packet = std::make_shared<render::FramePacket>(builder_.build(view.render(), time_));
        addSceneLabels(view, *packet);
        return packet;
    });
}

SaverSurface::~SaverSurface()
{
    window_->setFrameUpdate(nullptr);
}

std::optional<SaverScreen> SaverSurface::screen() const
{
    return SaverProcessServices::describeScreen(screen_());
}

void SaverSurface::addScene(const std::shared_ptr<SaverScene>& scene)
{
    scene_ = std::dynamic_pointer_cast<SaverGhostScene>(scene);
    if (scene_) {
        window_->show();
    }
}

void SaverSurface::removeScene(const SaverScene& scene)
{
    if (scene_.get() == &scene) {
        scene_.reset();
        // The builder keeps converted copies of the scene's meshes and
        // pictures until enough later frames let it notice they are gone;
        // a scene built after this one would find them all still there.
        builder_ = render::FramePacketBuilder();
        if (hideWhenEmpty_) {
            window_->hide();
        }
    }
}

} // namespace gloam::saver
