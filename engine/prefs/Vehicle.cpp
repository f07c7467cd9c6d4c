#include "engine/prefs/Vehicle.h"

#include "resources/ResourceFiles.h"

namespace gloam {

namespace {

struct VehicleEntry {
    std::string_view raw;
    std::string_view title;
    std::string_view asset;
    glm::vec2 shadowSize;
    float cameraRadius;
    float halfLength;
    float top;
};

const VehicleEntry& entry(Vehicle vehicle)
{
    static const std::array<VehicleEntry, 4> catalogue{{
        {"corsel", "Corsel", resources::vehicleModels[0], {6.2F, 3.65F}, 19.7F, 2.5F, 1.55F},
        {"vantre", "Vantre", resources::vehicleModels[1], {6.2F, 3.65F}, 19.7F, 2.5F, 1.55F},
        {"brusker", "Brusker", resources::vehicleModels[2], {7.3F, 3.8F}, 22.0F, 3.08F, 1.9F},
        {"spirra", "Spirra", resources::vehicleModels[3], {6.15F, 3.75F}, 19.7F, 2.58F, 1.4F},
    }};
    return catalogue[static_cast<std::size_t>(vehicle)];
}

} // namespace

std::string_view rawValue(Vehicle vehicle)
{
    return entry(vehicle).raw;
}

std::optional<Vehicle> vehicleFromRawValue(std::string_view raw)
{
    for (Vehicle vehicle : allVehicles) {
        if (rawValue(vehicle) == raw) {
            return vehicle;
        }
    }
    return std::nullopt;
}

std::string_view title(Vehicle vehicle)
{
    return entry(vehicle).title;
}

std::string_view asset(Vehicle vehicle)
{
    return entry(vehicle).asset;
}

std::string effects(Vehicle vehicle)
{
    return std::string(rawValue(vehicle)) + std::string(resources::postProcessLibrarySuffix);
}

glm::vec2 shadowSize(Vehicle vehicle)
{
    return entry(vehicle).shadowSize;
}

float cameraRadius(Vehicle vehicle)
{
    return entry(vehicle).cameraRadius;
}

float halfLength(Vehicle vehicle)
{
    return entry(vehicle).halfLength;
}

float top(Vehicle vehicle)
{
    return entry(vehicle).top;
}

} // namespace gloam
