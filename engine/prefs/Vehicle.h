#pragma once

#include <glm/vec2.hpp>

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace gloam {

// The catalogue of the four vehicles the scene can show.
enum class Vehicle { corsel, vantre, brusker, spirra };

inline constexpr std::array<Vehicle, 4> allVehicles{Vehicle::corsel, Vehicle::vantre, Vehicle::brusker,
                                                    Vehicle::spirra};

std::string_view rawValue(Vehicle vehicle);
std::optional<Vehicle> vehicleFromRawValue(std::string_view raw);

// Display name in the vehicle pickers and the app's loading title.
std::string_view title(Vehicle vehicle);
// The vehicle's model file in the resource folder.
std::string_view asset(Vehicle vehicle);
// The vehicle's post-process shader library: raw value + "-ScenePostprocess.glsl".
std::string effects(Vehicle vehicle);
// Footprint of the contact shadow under the vehicle, in scene units.
glm::vec2 shadowSize(Vehicle vehicle);
// Distance of the orbit camera from its target.
float cameraRadius(Vehicle vehicle);
// Half the vehicle's length and the height of its roof.
float halfLength(Vehicle vehicle);
float top(Vehicle vehicle);

} // namespace gloam
