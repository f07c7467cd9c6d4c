// gloamyard-bloom-preview: one frame through the bloom and fog post-process,
// headless, to a PNG.
#include "engine/post/GhostBloom.h"
#include "engine/prefs/Vehicle.h"
#include "engine/common/HalloweenResources.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/render/ImageFile.h"
#include "platform/render/OffscreenTarget.h"
#include "platform/render/Renderer.h"
#include "platform/render/TestScene.h"
#include "platform/render/headless/HeadlessContext.h"
#include "resources/ResourceFiles.h"
#include "resources/SceneLandmarks.h"
#include "tools/post/FogNoiseVolume.h"
#include "tools/post/NightScene.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

void usage()
{
    std::printf("Usage: gloamyard-bloom-preview --out FILE.png [options]\n"
                "\n"
                "Renders one frame headless through the bloom and volumetric fog post-process.\n"
                "  --size WxH          picture size (default 1200x540)\n"
                "  --vehicle NAME      whose shader library: corsel (default), vantre, brusker, spirra\n"
                "  --scene night|test  the small night scene (default) or the renderer's test scene\n"
                "  --yaw RAD           orbit the night scene's camera (default -0.955)\n"
                "  --elevation RAD     the camera's elevation (default 0.044)\n"
                "  --time S            scene time: the fog drifts with it (default 30)\n"
                "  --flash F --pumpkins P --hover H   atmosphere values 0..1 (default 0)\n"
                "  --visibility V      scene visibility 0..1 (default 1)\n"
                "  --fog FILE          a fog volume file (default: the resource folder's, else\n"
                "                      generated noise)\n"
                "  --noise-fog         the generated noise volume even when the forged one exists\n"
                "  --no-fog            a fog volume of zero density: bloom only\n"
                "  --plain             no post-process at all: the frame as rendered\n"
                "  --resources DIR     where the shader libraries are (default: the resource folder)\n");
}

} // namespace

int main(int argc, char** argv)
{
    std::string out;
    int width = 1200, height = 540;
    gloam::Vehicle vehicle = gloam::Vehicle::corsel;
    std::string scene = "night";
    float yaw = gloam::landmarks::cameraYaw, elevation = gloam::landmarks::cameraElevation, time = 30.0f, flash = 0,
          pumpkins = 0, hover = 0, visibility = 1;
    std::filesystem::path fogFile, resources;
    bool noFog = false, plain = false, noiseFog = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        auto number = [&](float& value) { value = std::strtof(argv[++i], nullptr); };
        if (a == "--help" || a == "-h") {
            usage();
            return 0;
        } else if (a == "--out" && hasValue) {
            out = argv[++i];
        } else if (a == "--size" && hasValue) {
            if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0) {
                std::fprintf(stderr, "gloamyard-bloom-preview: --size wants WIDTHxHEIGHT\n");
                return 2;
            }
        } else if (a == "--vehicle" && hasValue) {
            auto found = gloam::vehicleFromRawValue(argv[++i]);
            if (!found) {
                std::fprintf(stderr, "gloamyard-bloom-preview: no vehicle “%s”\n", argv[i]);
                return 2;
            }
            vehicle = *found;
        } else if (a == "--scene" && hasValue) {
            scene = argv[++i];
        } else if (a == "--yaw" && hasValue) {
            number(yaw);
        } else if (a == "--elevation" && hasValue) {
            number(elevation);
        } else if (a == "--time" && hasValue) {
            number(time);
        } else if (a == "--flash" && hasValue) {
            number(flash);
        } else if (a == "--pumpkins" && hasValue) {
            number(pumpkins);
        } else if (a == "--hover" && hasValue) {
            number(hover);
        } else if (a == "--visibility" && hasValue) {
            number(visibility);
        } else if (a == "--fog" && hasValue) {
            fogFile = argv[++i];
        } else if (a == "--noise-fog") {
            noiseFog = true;
        } else if (a == "--no-fog") {
            noFog = true;
        } else if (a == "--plain") {
            plain = true;
        } else if (a == "--resources" && hasValue) {
            resources = argv[++i];
        } else {
            std::fprintf(stderr, "gloamyard-bloom-preview: unknown argument “%s” (see --help)\n", a.c_str());
            return 2;
        }
    }
    if (out.empty() || (scene != "night" && scene != "test")) {
        usage();
        return 2;
    }

    // A resource folder of our own: the vehicle's library and a fog volume.
    const auto folder = std::filesystem::temp_directory_path() /
                        ("gloamyard-bloom-preview-" + std::to_string(static_cast<long>(::getpid())));
    try {
        std::filesystem::create_directories(folder);
        const auto libraries = resources.empty() ? gloam::halloweenResources() : resources;
        std::filesystem::copy_file(libraries / gloam::effects(vehicle), folder / gloam::effects(vehicle),
                                   std::filesystem::copy_options::overwrite_existing);
        if (noFog) {
            std::vector<char> zeros(1 << 20, 0);
            std::ofstream(folder / gloam::resources::fogDensity, std::ios::binary).write(zeros.data(), 1 << 20);
        } else if (!fogFile.empty() ||
                   (!noiseFog && std::filesystem::exists(libraries / gloam::resources::fogDensity))) {
            if (fogFile.empty())
                fogFile = libraries / gloam::resources::fogDensity;
            std::filesystem::copy_file(fogFile, folder / gloam::resources::fogDensity,
                                       std::filesystem::copy_options::overwrite_existing);
        } else {
            gloam::tools::FogNoiseVolume::write(folder);
        }

        gloam::render::HeadlessContext context;
        auto device = gloam::gpu::GpuDevice::create();
        gloam::gpu::GpuDevice::setSystemDefault(device);
        {
            gloam::render::Renderer renderer(device);
            gloam::render::OffscreenTarget target(width, height);
            const auto packet = scene == "test" ? gloam::render::TestScene::build(float(width) / float(height))
                                                : gloam::tools::NightScene::build(yaw, elevation, time);
            auto bloom = gloam::GhostBloom::create(folder);
            if (!plain) {
                bloom->select(gloam::GhostBloom::prepare(vehicle, folder));
                bloom->setCamera(packet.camera.world);
                bloom->setAtmosphere(time, flash, pumpkins, hover);
                bloom->setSceneVisibility(visibility);
                renderer.setPostProcess(
                    [bloom](const gloam::render::PostProcessContext& frame) { bloom->process(frame); });
            }
            renderer.render(packet, {target.framebuffer(), width, height, 1.0f});
            gloam::render::ImageFile::writePng(out, width, height, target.readPixels());
            device->waitUntilIdle();
            device->pollCompletions();
        }
        gloam::gpu::GpuDevice::setSystemDefault(nullptr);
        std::filesystem::remove_all(folder);
        std::printf("gloamyard-bloom-preview: wrote %s (%dx%d, %s)\n", out.c_str(), width, height,
                    context.description().c_str());
    } catch (const std::exception& error) {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
        std::fprintf(stderr, "gloamyard-bloom-preview: %s\n", error.what());
        return 1;
    }
    return 0;
}
