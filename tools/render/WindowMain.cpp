// gloamyard-render-window: the renderer in a Qt window (or inside a foreign
// X11 window), with a drag to orbit the camera.
#include "platform/assets/EnvironmentResource.h"
#include "platform/assets/ModelLoader.h"
#include "platform/assets/TextureResource.h"
#include "platform/render/FramePacketBuilder.h"
#include "platform/render/RenderThread.h"
#include "platform/render/StudioEnvironment.h"
#include "platform/render/TestScene.h"
#include "platform/render/window/RenderWindow.h"
#include "platform/scene/AnchorEntity.h"
#include "platform/scene/DirectionalLight.h"
#include "platform/scene/PerspectiveCamera.h"
#include "platform/scene/View3D.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <glm/gtc/matrix_transform.hpp>

#include <cmath>
#include <cstdio>
#include <memory>

using namespace gloam;

namespace {

void usage()
{
    std::printf("Usage: gloamyard-render-window [--model FILE.glb] [--window-id XID] [--grab FILE.png --frames N]\n"
                "\n"
                "Shows the renderer's reference scene (or a glTF model) in a window; drag to orbit.\n"
                "  --model FILE.glb   a model instead of the reference scene\n"
                "  --window-id XID    draw inside an existing X11 window (decimal or 0x hex)\n"
                "  --grab FILE.png    after N presented frames, save a screenshot of the screen and quit\n"
                "  --frames N         frames before the grab (default 30)\n");
}

struct Orbit {
    glm::vec3 centre{0.0f, 0.7f, 0.0f};
    float distance = 8.0f;
    float yaw = 0.0f;
    float elevation = 0.3f;
    glm::mat4 world() const
    {
        const glm::vec3 eye = centre + distance * glm::vec3(std::sin(yaw) * std::cos(elevation), std::sin(elevation),
                                                            std::cos(yaw) * std::cos(elevation));
        return glm::inverse(glm::lookAt(eye, centre, glm::vec3(0, 1, 0)));
    }
};

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QString model, grab;
    WId foreign = 0;
    int frames = 30;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == "--help" || a == "-h") {
            usage();
            return 0;
        } else if (a == "--model" && i + 1 < args.size()) {
            model = args[++i];
        } else if (a == "--grab" && i + 1 < args.size()) {
            grab = args[++i];
        } else if (a == "--frames" && i + 1 < args.size()) {
            frames = args[++i].toInt();
        } else if (a == "--window-id" && i + 1 < args.size()) {
            bool ok = false;
            foreign = static_cast<WId>(args[++i].toULongLong(&ok, 0));
            if (!ok) {
                std::fprintf(stderr, "gloamyard-render-window: --window-id wants a window number\n");
                return 2;
            }
        } else {
            std::fprintf(stderr, "gloamyard-render-window: unknown argument “%s” (see --help)\n", qPrintable(a));
            return 2;
        }
    }

    // The scene: the reference packet, or a model in a view.
    Orbit orbit;
    render::FramePacket reference = render::TestScene::build();
    platform::View3D view;
    render::FramePacketBuilder builder;
    std::shared_ptr<platform::PerspectiveCamera> camera;
    if (!model.isEmpty()) {
        try {
            auto anchor = platform::AnchorEntity::make();
            view.scene().addAnchor(anchor);
            auto root = platform::ModelLoader::loadNow(model.toStdString());
            anchor->addChild(root);
            const auto bounds = root->visualBounds(true, nullptr);
            orbit.centre = (bounds.min + bounds.max) * 0.5f;
            const float radius = std::max(glm::length(bounds.max - bounds.min) * 0.5f, 0.01f);
            orbit.distance = radius / std::sin(glm::radians(15.0f));
            camera = platform::PerspectiveCamera::make("camera");
            camera->camera().fieldOfViewInDegrees = 30.0f;
            camera->camera().near = orbit.distance * 0.05f;
            camera->camera().far = orbit.distance * 4.0f;
            anchor->addChild(camera);
            auto sun = platform::DirectionalLight::make("key");
            sun->light().intensity = 2000.0f;
            sun->setShadow(platform::DirectionalLightShadowComponent::automatic(orbit.distance + radius * 2.0f));
            sun->look(orbit.centre, orbit.centre + glm::vec3(-0.6f, 1.0f, 0.8f) * radius * 3.0f, {0, 1, 0}, nullptr);
            anchor->addChild(sun);
            view.environment().background = {0.03f, 0.035f, 0.05f, 1.0f};
            auto sky = platform::TextureResource::fromFloatPixels(render::StudioEnvironment::width,
                                                                  render::StudioEnvironment::height,
                                                                  render::StudioEnvironment::pixels(), "studio");
            view.environment().lighting.resource = platform::EnvironmentResource::makeNow(sky, "studio");
            view.environment().lighting.intensityExponent = -1.0f;
        } catch (const std::exception& error) {
            std::fprintf(stderr, "gloamyard-render-window: %s\n", error.what());
            return 1;
        }
    }

    std::unique_ptr<render::RenderWindow> window;
    if (foreign != 0) {
        window = render::RenderWindow::embedded(foreign);
        if (!window) {
            std::fprintf(stderr, "gloamyard-render-window: no window 0x%llx\n",
                         static_cast<unsigned long long>(foreign));
            return 1;
        }
    } else {
        window = std::make_unique<render::RenderWindow>();
        window->setTitle("Gloamyard renderer");
        window->resize(1200, 540);
    }

    double time = 0.0;
    int presented = 0;
    window->setFrameUpdate([&](double delta) {
        time += delta;
        ++presented;
        if (!grab.isEmpty() && presented == frames) {
            QTimer::singleShot(0, &app, [&] {
                QScreen* screen = QGuiApplication::primaryScreen();
                const bool saved = screen && screen->grabWindow(0).save(grab);
                std::printf("gloamyard-render-window: %s %s after %d frames\n", saved ? "saved" : "could not save",
                            qPrintable(grab), frames);
                app.exit(saved ? 0 : 1);
            });
        }
        std::shared_ptr<render::FramePacket> packet;
        if (camera) {
            camera->setTransformMatrix(orbit.world(), nullptr);
            packet = std::make_shared<render::FramePacket>(builder.build(view, time));
        } else {
            packet = std::make_shared<render::FramePacket>(reference);
            packet->camera.world = orbit.world();
            packet->time = time;
        }
        return packet;
    });
    QPointF last;
    bool dragging = false;
    window->onMousePress = [&](QMouseEvent* e) {
        dragging = true;
        last = e->position();
    };
    window->onMouseRelease = [&](QMouseEvent*) { dragging = false; };
    window->onMouseMove = [&](QMouseEvent* e) {
        if (!dragging)
            return;
        const QPointF step = e->position() - last;
        last = e->position();
        orbit.yaw -= static_cast<float>(step.x()) * 0.01f;
        orbit.elevation = std::clamp(orbit.elevation + static_cast<float>(step.y()) * 0.01f, -0.2f, 1.4f);
    };
    window->onFailure = [&](const std::string& reason) {
        std::fprintf(stderr, "gloamyard-render-window: %s\n", reason.c_str());
        app.exit(1);
    };
    window->show();
    return app.exec();
}
