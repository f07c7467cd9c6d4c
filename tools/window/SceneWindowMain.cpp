// gloamyard-scene-window: the Gloamyard scene in a window of its own,
// interactive (drag to orbit, click the pumpkins, graves, moon, hand or
// house, Escape skips the opening). It shows the scene view as the app
// will, without the app's controls.
#include "engine/scene/GhostView.h"
#include "engine/scene/SceneLabels.h"
#include "platform/render/FramePacketBuilder.h"
#include "platform/render/window/RenderWindow.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <cstdio>
#include <memory>
#include <optional>

using namespace gloam;

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Gloamyard"));

    std::optional<render::QualityTier> quality;
    const QStringList arguments = QGuiApplication::arguments();
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QStringLiteral("--quality") && i + 1 < arguments.size() &&
            render::RenderQuality::parse(arguments[i + 1].toStdString(), quality)) {
            ++i;
        } else {
            std::fprintf(stderr, "Usage: gloamyard-scene-window [--quality auto|full|software]\n"
                                 "  --quality  the renderer's quality tier (default auto: from the GL renderer,\n"
                                 "             or GLOAMYARD_QUALITY)\n");
            return 2;
        }
    }

    render::RenderWindow window;
    window.setQualityTier(quality);
    window.setTitle(QStringLiteral("Gloamyard"));
    window.resize(1200, 540);
    window.setMinimumSize(QSize(320, 160));

    std::shared_ptr<GhostView> view;
    render::FramePacketBuilder builder;
    double time = 0;

    window.onFailure = [](const std::string& reason) {
        std::fprintf(stderr, "gloamyard-scene-window: %s\n", reason.c_str());
        QGuiApplication::exit(1);
    };
    window.setFrameUpdate([&](double delta) -> std::shared_ptr<const render::FramePacket> {
        const platform::Rect frame{0.0F, 0.0F, static_cast<float>(window.width()), static_cast<float>(window.height())};
        if (!view) {
            // Made once the window draws: the post-process needs the GPU.
            view = GhostView::make(frame, true);
        } else if (!(view->frame() == frame)) {
            view->setFrame(frame);
        }
        view->render().scene().update(delta);
        time += delta;
        auto packet = std::make_shared<render::FramePacket>(builder.build(view->render(), time));
        addSceneLabels(*view, *packet);
        return packet;
    });

    const auto point = [&window](QMouseEvent* event) {
        return glm::vec2(static_cast<float>(event->position().x()),
                         static_cast<float>(window.height() - event->position().y()));
    };
    window.onMousePress = [&](QMouseEvent* event) {
        if (view && event->button() == Qt::LeftButton)
            view->mouseDown(point(event));
    };
    window.onMouseMove = [&](QMouseEvent* event) {
        if (view && (event->buttons() & Qt::LeftButton))
            view->mouseDragged(point(event));
    };
    window.onMouseRelease = [&](QMouseEvent* event) {
        if (view && event->button() == Qt::LeftButton)
            view->mouseUp(point(event));
    };
    window.onKeyPress = [&](QKeyEvent* event) {
        if (view)
            view->keyDown(event->key() == Qt::Key_Escape ? GhostView::Key::escape : GhostView::Key::other);
    };

    window.show();
    const int result = QGuiApplication::exec();
    if (view) {
        view->stop();
    }
    return result;
}
