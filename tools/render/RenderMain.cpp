// gloamyard-render: draws a scene headless (no display needed) to a PNG.
#include "tools/render/SceneRender.h"
#include "engine/export/SceneVideoExport.h"
#include "platform/assets/EnvironmentResource.h"
#include "platform/assets/ModelLoader.h"
#include "platform/assets/TextureResource.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/render/FramePacketBuilder.h"
#include "platform/render/ImageFile.h"
#include "platform/render/OffscreenTarget.h"
#include "platform/render/Renderer.h"
#include "platform/render/StudioEnvironment.h"
#include "platform/render/TestScene.h"
#include "platform/render/headless/HeadlessContext.h"
#include "platform/scene/AnchorEntity.h"
#include "platform/scene/DirectionalLight.h"
#include "platform/scene/PerspectiveCamera.h"
#include "platform/scene/View3D.h"

#include <glm/gtc/constants.hpp>
#include <glm/trigonometric.hpp>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>

namespace {

void usage()
{
    std::printf("Usage: gloamyard-render --out FILE.png [--size WIDTHxHEIGHT] [--test-scene]\n"
                "       gloamyard-render --model FILE.glb --out FILE.png [--size WxH] [--yaw DEG] [--elevation DEG]\n"
                "\n"
                "Renders headless (OpenGL through EGL, no display needed) and writes a PNG.\n"
                "  --test-scene        the renderer's reference scene (the default): spheres from\n"
                "                      rough to polished and metal, a glowing sphere, a\n"
                "                      transparent sphere, point lights and a shadowing sun\n"
                "  --model FILE.glb    a glTF model, framed by a camera on an orbit around it,\n"
                "                      lit by a key light with shadow and a soft sky\n"
                "  --yaw DEG           the camera's angle around the model (default 35)\n"
                "  --elevation DEG     the camera's height angle (default 15)\n"
                "  --exposure EV100    the camera exposure (default: the calibrated night value)\n"
                "  --label TEXT        a centred status label on a translucent plate\n"
                "  --size WxH          picture size in pixels (default 1200x540)\n"
                "  --out FILE.png      where to write the picture\n");
}

using namespace gloam;

// A model on an anchor, a camera on an orbit that frames it, a key light
// with shadow and the studio sky.
render::FramePacket modelPacket(const std::string& file, float aspect, float yawDegrees, float elevationDegrees,
                                platform::View3D& view, render::FramePacketBuilder& builder)
{
    auto anchor = platform::AnchorEntity::make();
    view.scene().addAnchor(anchor);
    auto model = platform::ModelLoader::loadNow(file);
    anchor->addChild(model);

    const auto bounds = model->visualBounds(true, nullptr);
    const glm::vec3 centre = (bounds.min + bounds.max) * 0.5f;
    const float radius = std::max(glm::length(bounds.max - bounds.min) * 0.5f, 0.01f);
    auto camera = platform::PerspectiveCamera::make("camera");
    const float fov = 30.0f;
    camera->camera().fieldOfViewInDegrees = fov;
    const float halfFov = glm::radians(fov) * 0.5f;
    const float fit = std::min(halfFov, std::atan(std::tan(halfFov) * aspect));
    const float distance = radius / std::sin(fit) * 1.05f;
    camera->camera().near = std::max(distance - radius * 2.0f, distance * 0.01f);
    camera->camera().far = distance + radius * 4.0f;
    const float yaw = glm::radians(yawDegrees), elevation = glm::radians(elevationDegrees);
    const glm::vec3 eye = centre + distance * glm::vec3(std::sin(yaw) * std::cos(elevation), std::sin(elevation),
                                                        std::cos(yaw) * std::cos(elevation));
    camera->look(centre, eye, {0, 1, 0}, nullptr);
    anchor->addChild(camera);

    auto sun = platform::DirectionalLight::make("key");
    sun->light().intensity = 2000.0f;
    sun->setShadow(platform::DirectionalLightShadowComponent::automatic(distance + radius * 2.0f));
    sun->look(centre, centre + glm::vec3(-0.6f, 1.0f, 0.8f) * radius * 3.0f, {0, 1, 0}, nullptr);
    anchor->addChild(sun);

    view.environment().background = {0.03f, 0.035f, 0.05f, 1.0f};
    auto sky =
        platform::TextureResource::fromFloatPixels(render::StudioEnvironment::width, render::StudioEnvironment::height,
                                                   render::StudioEnvironment::pixels(), "studio");
    view.environment().lighting.resource = platform::EnvironmentResource::makeNow(sky, "studio");
    view.environment().lighting.intensityExponent = -1.0f;
    return builder.build(view, 0.0);
}

} // namespace

int main(int argc, char** argv)
{
    if (gloam::VideoExportOptions::requested(argc, argv, "--video")) {
        return gloam::SceneVideoExport::main(argc, argv, "gloamyard-render", "--video");
    }
    if (wantsScene(argc, argv)) {
        return renderScene(argc, argv);
    }
    std::string out, model, label;
    int width = 1200, height = 540;
    float yaw = 35.0f, elevation = 15.0f;
    std::optional<float> exposure;
    auto number = [&](int& i, const char* name) {
        if (i + 1 >= argc) {
            std::fprintf(stderr, "gloamyard-render: %s wants a number\n", name);
            std::exit(2);
        }
        char* end = nullptr;
        const float value = std::strtof(argv[++i], &end);
        if (end == argv[i] || *end != '\0') {
            std::fprintf(stderr, "gloamyard-render: %s wants a number, not “%s”\n", name, argv[i]);
            std::exit(2);
        }
        return value;
    };
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            usage();
            return 0;
        } else if (a == "--out" && i + 1 < argc) {
            out = argv[++i];
        } else if (a == "--label" && i + 1 < argc) {
            label = argv[++i];
        } else if (a == "--model" && i + 1 < argc) {
            model = argv[++i];
        } else if (a == "--yaw") {
            yaw = number(i, "--yaw");
        } else if (a == "--elevation") {
            elevation = number(i, "--elevation");
        } else if (a == "--exposure") {
            exposure = number(i, "--exposure");
        } else if (a == "--size" && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0) {
                std::fprintf(stderr, "gloamyard-render: --size wants WIDTHxHEIGHT, e.g. 1200x540\n");
                return 2;
            }
        } else if (a == "--test-scene") {
        } else {
            std::fprintf(stderr, "gloamyard-render: unknown argument “%s” (see --help)\n", a.c_str());
            return 2;
        }
    }
    if (out.empty()) {
        usage();
        return 2;
    }
    try {
        render::HeadlessContext context;
        auto device = gpu::GpuDevice::create();
        {
            render::Renderer renderer(device);
            render::OffscreenTarget target(width, height);
            const float aspect = static_cast<float>(width) / static_cast<float>(height);
            platform::View3D view(platform::Rect{0, 0, static_cast<float>(width), static_cast<float>(height)});
            render::FramePacketBuilder builder;
            auto packet = model.empty() ? render::TestScene::build(aspect)
                                        : modelPacket(model, aspect, yaw, elevation, view, builder);
            if (exposure)
                packet.exposureEv100 = exposure;
            if (!label.empty())
                packet.labels.push_back({label, {0.5f, 0.5f}, 15.0f, true});
            renderer.render(packet, {target.framebuffer(), width, height, 1.0f});
            render::ImageFile::writePng(out, width, height, target.readPixels());
            device->waitUntilIdle();
        }
        std::printf("gloamyard-render: wrote %s (%dx%d, %s)\n", out.c_str(), width, height,
                    context.description().c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "gloamyard-render: %s\n", error.what());
        return 1;
    }
    return 0;
}
