#pragma once

// A small resource folder for the surprises: the shipped fade surface
// library and a stand-in witch (one named plate).

#include "engine/prefs/Vehicle.h"
#include "tests/support/GlbWriter.h"
#include "tests/support/TemporaryFolder.h"

#include <filesystem>
#include <string>

namespace gloam::testing {

inline void writeWitch(const std::filesystem::path& file)
{
    using json = nlohmann::json;
    GlbWriter w;
    const int positions = w.floats({-0.4F, 0, 0, 0.4F, 0, 0, 0, 0.6F, 0}, "VEC3", true);
    const int normals = w.floats({0, 0, 1, 0, 0, 1, 0, 0, 1}, "VEC3");
    const int indices = w.indices({0, 1, 2});
    const int material = w.material({{"name", "WitchCloth"}, {"pbrMetallicRoughness", {{"roughnessFactor", 0.8}}}});
    const int mesh = w.mesh("WitchMesh", json::array({{{"attributes", {{"POSITION", positions}, {"NORMAL", normals}}},
                                                       {"indices", indices},
                                                       {"material", material}}}));
    const int cape = w.node({{"name", "WitchCape"}, {"mesh", mesh}, {"translation", {0, 0.2, 0}}});
    const int body = w.node({{"name", "WitchBody"}, {"mesh", mesh}, {"children", {cape}}});
    w.scene({body});
    w.write(file);
}

// A folder with "CameoFade.glsl" and "Witch.glb"; removed by the caller.
inline std::filesystem::path makeEggResources()
{
    const std::filesystem::path folder = TemporaryFolder::create("gloamyard-eggs");
    std::filesystem::copy_file(std::filesystem::path(GLOAMYARD_SOURCE_DIR) / "forge" / "shaders" / "CameoFade.glsl",
                               folder / "CameoFade.glsl");
    writeWitch(folder / "Witch.glb");
    return folder;
}

} // namespace gloam::testing
