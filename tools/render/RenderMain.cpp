// gloamyard-render: draws a scene headless (no display needed) to a PNG.
#include "platform/gpu/GpuDevice.h"
#include "platform/render/ImageFile.h"
#include "platform/render/OffscreenTarget.h"
#include "platform/render/Renderer.h"
#include "platform/render/TestScene.h"
#include "platform/render/headless/HeadlessContext.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

namespace {

void usage() {
    std::printf(
        "Usage: gloamyard-render --out FILE.png [--size WIDTHxHEIGHT] [--test-scene]\n"
        "\n"
        "Renders headless (OpenGL through EGL, no display needed) and writes a PNG.\n"
        "  --test-scene        the renderer's reference scene (default): spheres from\n"
        "                      rough to polished and metal, a glowing sphere, a\n"
        "                      transparent sphere, point lights and a shadowing sun\n"
        "  --size WxH          picture size in pixels (default 1200x540)\n"
        "  --out FILE.png      where to write the picture\n");
}

} // namespace

int main(int argc, char** argv) {
    std::string out;
    int width = 1200, height = 540;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            usage();
            return 0;
        } else if (a == "--out" && i + 1 < argc) {
            out = argv[++i];
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
        gloam::render::HeadlessContext context;
        auto device = gloam::gpu::GpuDevice::create();
        {
            gloam::render::Renderer renderer(device);
            gloam::render::OffscreenTarget target(width, height);
            auto packet = gloam::render::TestScene::build(static_cast<float>(width) / static_cast<float>(height));
            renderer.render(packet, {target.framebuffer(), width, height, 1.0f});
            gloam::render::ImageFile::writePng(out, width, height, target.readPixels());
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
