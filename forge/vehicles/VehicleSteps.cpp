#include "forge/vehicles/VehicleSteps.h"

#include <cstdio>
#include <string>

#include "forge/vehicles/GhostVehicle.h"
#include "forge/vehicles/RearLightsModel.h"
#include "forge/witch/WitchModel.h"
#include "resources/ResourceFiles.h"

namespace gloam::forge {

namespace files = gloam::resources;

void addVehicleSteps(ForgeSteps& steps)
{
    using Design = GhostVehicleDesign (*)();
    const Design designs[4] = {corselDesign, vantreDesign, bruskerDesign, spirraDesign};
    const char* stepNames[4] = {"vehicle-corsel", "vehicle-vantre", "vehicle-brusker", "vehicle-spirra"};
    for (std::size_t i = 0; i < 4; ++i) {
        Design design = designs[i];
        std::string file(files::vehicleModels[i]);
        steps.push_back({stepNames[i], [design, file](const std::filesystem::path& out) {
                             std::size_t triangles = writeGhostVehicle(out / file, design());
                             std::printf("forge: %s %zu triangles\n", file.c_str(), triangles);
                         }});
    }
    steps.push_back({"rear-lights", [](const std::filesystem::path& out) {
                         writeRearLights(out / std::string(files::rearLightsModel));
                     }});
    steps.push_back(
        {"witch", [](const std::filesystem::path& out) { writeWitch(out / std::string(files::witchModel)); }});
}

} // namespace gloam::forge
