#pragma once

// A small resource folder for scene-view tests: a ground plate for a
// graveyard, a hand, a witch, the surprises' fade library, and prop targets with graves of several heights, a
// broken pumpkin and a matched stone. Everything the view loads besides
// these is absent, as in a partly built scene.

#include "engine/scene/GhostView.h"
#include "engine/scene/HeadlessSceneDriver.h"
#include "forge/shaders/PostProcessLibraries.h"
#include "tests/support/GlbWriter.h"
#include "tests/support/TemporaryFolder.h"
#include "tests/support/PngBytes.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>
#include <unistd.h>

namespace gloam::testing {

inline void writePlate(const std::filesystem::path& file, const std::string& name, float half, float y)
{
    using json = nlohmann::json;
    GlbWriter w;
    const int positions = w.floats({-half, y, -half, half, y, -half, half, y, half, -half, y, half}, "VEC3", true);
    const int normals = w.floats({0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0}, "VEC3");
    const int indices = w.indices({0, 2, 1, 0, 3, 2});
    const int material =
        w.material({{"name", name + "Material"},
                    {"pbrMetallicRoughness", {{"baseColorFactor", {0.2, 0.25, 0.3, 1.0}}, {"roughnessFactor", 0.9}}}});
    const int mesh = w.mesh(name + "Mesh", json::array({{{"attributes", {{"POSITION", positions}, {"NORMAL", normals}}},
                                                         {"indices", indices},
                                                         {"material", material}}}));
    const int node = w.node({{"name", name}, {"mesh", mesh}});
    w.scene({node});
    w.write(file);
}

// A small witch: a body 2 units wide from x = -1 to 1 and y = 0 to 0.5,
// and a cape node at (0.5, 0.4) with a flap of its own.
inline void writeWitch(const std::filesystem::path& file)
{
    using json = nlohmann::json;
    GlbWriter w;
    const int material =
        w.material({{"name", "WitchCloth"}, {"pbrMetallicRoughness", {{"baseColorFactor", {0.3, 0.2, 0.4, 1.0}}}}});
    auto quad = [&](const std::string& name, float x0, float y0, float x1, float y1) {
        const int positions = w.floats({x0, y0, 0, x1, y0, 0, x1, y1, 0, x0, y1, 0}, "VEC3", true);
        const int normals = w.floats({0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1}, "VEC3");
        const int indices = w.indices({0, 1, 2, 0, 2, 3});
        return w.mesh(name, json::array({{{"attributes", {{"POSITION", positions}, {"NORMAL", normals}}},
                                          {"indices", indices},
                                          {"material", material}}}));
    };
    const int cape = w.node(
        {{"name", "WitchCape"}, {"mesh", quad("CapeMesh", 0.0F, -0.2F, 0.4F, 0.0F)}, {"translation", {0.5, 0.4, 0.0}}});
    const int body =
        w.node({{"name", "WitchBody"}, {"mesh", quad("BodyMesh", -1.0F, 0.0F, 1.0F, 0.5F)}, {"children", {cape}}});
    w.scene({body});
    w.write(file);
}

// One flat colour, as an image file.
inline void writePng(const std::filesystem::path& file, int width, int height, std::uint8_t r, std::uint8_t g,
                     std::uint8_t b, std::uint8_t a = 255)
{
    std::vector<std::uint8_t> rgba;
    for (int i = 0; i < width * height; ++i) {
        rgba.insert(rgba.end(), {r, g, b, a});
    }
    const std::vector<std::uint8_t> png = pngBytes(width, height, rgba);
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
}

// What the opening reads: its two pictures, the witch and the atmosphere's
// shader library (the forge's own).
inline void writeOpeningResources(const std::filesystem::path& folder)
{
    writePng(folder / "OpeningPanorama.png", 16, 16, 20, 40, 90);
    writePng(folder / "OpeningTitle.png", 32, 18, 230, 240, 250, 200);
    writeWitch(folder / "Witch.glb");
    std::filesystem::copy_file(std::filesystem::path(GLOAMYARD_SOURCE_DIR) / "forge" / "shaders" /
                                   "OpeningAtmosphere.glsl",
                               folder / "OpeningAtmosphere.glsl");
}

// Graves stand in front of the vehicle, on the camera's side of the scene
// but near the middle of the default view.
inline const char* defaultTargets()
{
    return R"([
      {"id": "ShortGrave", "kind": "grave", "center": [-2.6, 0.3, 1.4], "size": [0.5, 0.6, 0.3]},
      {"id": "TallGrave", "kind": "grave", "center": [-2.0, 0.6, 2.4], "size": [0.5, 1.2, 0.3]},
      {"id": "EvenGrave", "kind": "grave", "center": [-3.2, 0.3, 0.6], "size": [0.5, 0.6, 0.3]},
      {"id": "LeftPumpkin", "kind": "pumpkin", "center": [-1.5, 0.2, -2.4], "size": [0.5, 0.4, 0.5]},
      {"id": "RightBroken", "kind": "pumpkin", "center": [-1.4, 0.2, 3.0], "size": [0.5, 0.4, 0.5]},
      {"id": "Upper", "kind": "Pumpkin", "center": [-1.8, 0.2, -3.0], "size": [0.5, 0.4, 0.5]},
      {"id": "MatchedLeftStone", "kind": "stone", "center": [2.0, 0.5, -3.0], "size": [0.6, 1.0, 0.3]}
    ])";
}

// The one offscreen GPU context and device of a test process: views prepare
// their post-process on it, so it exists before the first view is made.
inline HeadlessSceneDriver& sceneDriver()
{
    static HeadlessSceneDriver shared(320, 144);
    return shared;
}

inline std::filesystem::path makeSceneResources(const std::string& targets = defaultTargets())
{
    const std::filesystem::path folder = TemporaryFolder::create("gloamyard-scene");
    writePlate(folder / "Graveyard.glb", "Env_Earth", 12.0F, 0.0F);
    writePlate(folder / "Hand.glb", "HandBone", 0.2F, 0.3F);
    for (const char* vehicle : {"MarvetGhost.glb", "VantreGhost.glb", "BruskerGhost.glb", "SpirraGhost.glb"}) {
        writePlate(folder / vehicle, "Body", 1.5F, 1.2F);
    }
    writePlate(folder / "RearLights.glb", "AmberCore", 0.1F, 0.98F);
    writePlate(folder / "Witch.glb", "WitchBody", 0.3F, 0.0F);
    std::filesystem::copy_file(std::filesystem::path(GLOAMYARD_SOURCE_DIR) / "forge" / "shaders" / "CameoFade.glsl",
                               folder / "CameoFade.glsl");
    // The vehicles' post-process libraries, as the forge writes them.
    gloam::forge::writePostProcessLibraries(folder, std::filesystem::path(GLOAMYARD_SOURCE_DIR) / "forge" / "shaders" /
                                                        "ScenePostprocessKernels.glsl");
    std::ofstream(folder / "PropTargets.json") << targets;
    writeOpeningResources(folder);
    return folder;
}

// A scene view as the tests make it: on `resources`, its clock read from
// `now`, its log lines kept in `log`, the surprises in one fixed order.
inline std::shared_ptr<GhostView> makeTestView(const std::filesystem::path& resources, bool interactive,
                                               const double& now, std::vector<std::string>& log)
{
    sceneDriver(); // the GPU device exists before the view prepares its post-process
    GhostView::Environment environment;
    environment.resources = resources;
    environment.uptime = [&now] { return now; };
    environment.eggSeed = 1;
    environment.log = [&log](const std::string& line, bool) { log.push_back(line); };
    return GhostView::make({0, 0, 320, 144}, interactive, Vehicle::corsel, std::nullopt, environment);
}

} // namespace gloam::testing
