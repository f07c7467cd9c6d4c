#include "saver/SaverSurface.h"

#include "engine/scene/GhostView.h"
#include "engine/scene/SceneLabels.h"
#include "platform/render/window/RenderWindow.h"
#include "saver/SaverGhostScene.h"
#include "saver/SaverProcessServices.h"

#include <QGuiApplication>
#include <QScreen>

namespace gloam::saver {

SaverSurface::SaverSurface(std::unique_ptr<render::RenderWindow> window, std::function<QRect()> geometry,
                           bool hideWhenEmpty)
    : window_(std::move(window))
    , geometry_(std::move(geometry))
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
    const QRect place = geometry_();
    QScreen* screen = QGuiApplication::screenAt(place.center());
    if (screen == nullptr) {
        // Partly off every monitor (or a preview still being placed): the
        // monitor it overlaps most.
        int best = 0;
        for (QScreen* candidate : QGuiApplication::screens()) {
            const QRect overlap = candidate->geometry().intersected(place);
            const int area = overlap.isEmpty() ? 0 : overlap.width() * overlap.height();
            if (area > best) {
                best = area;
                screen = candidate;
            }
        }
    }
    return SaverProcessServices::describeScreen(screen);
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
        if (hideWhenEmpty_) {
            window_->hide();
        }
    }
}

} // namespace gloam::saver
