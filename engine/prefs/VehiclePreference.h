#pragma once

#include "engine/prefs/Vehicle.h"

#include <string_view>

namespace gloam {

// The chosen vehicle, shared by the app and the screen saver.
class VehiclePreference {
public:
    // The screen saver's legacy per-module store name.
    static constexpr std::string_view module = "net.gloamyard.Gloamyard.saver";

    // The stored vehicle; corsel when absent or not recognised.
    static Vehicle selected();
    static void setSelected(Vehicle vehicle);
};

} // namespace gloam
