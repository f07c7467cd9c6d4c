#include "forge/world/WorldSteps.h"

#include <cstdio>
#include <string>

#include "forge/world/FogVolume.h"
#include "forge/world/GraveyardModel.h"
#include "forge/world/HandModel.h"
#include "forge/world/OpeningPictures.h"
#include "forge/world/SurfaceTextures.h"
#include "forge/world/PropTargetsFile.h"
#include "resources/ResourceFiles.h"

namespace gloam::forge {

namespace files = gloam::resources;

void addWorldSteps(ForgeSteps& steps)
{
    steps.push_back({"graveyard", [](const std::filesystem::path& out) {
                         // One build feeds both files, so the click boxes always
                         // match the meshes.
                         GraveyardResult result = writeGraveyard(out / std::string(files::graveyardModel));
                         writePropTargets(out / std::string(files::propTargets), result.targets);
                         std::printf("forge: graveyard %zu triangles, %zu targets\n", result.triangles,
                                     result.targets.size());
                     }});
    steps.push_back({"hand", [](const std::filesystem::path& out) { writeHand(out / std::string(files::handModel)); }});
    steps.push_back({"surface-textures", writeSurfaceTextures});
    steps.push_back({"opening-pictures", writeOpeningPictures});
    steps.push_back(
        {"fog-volume", [](const std::filesystem::path& out) { writeFogVolume(out / std::string(files::fogDensity)); }});
}

} // namespace gloam::forge
