#include "engine/prefs/VehiclePreference.h"

#include "engine/prefs/GloamyardPreferences.h"

namespace gloam {

Vehicle VehiclePreference::selected()
{
    const auto stored = GloamyardPreferences::defaults().value(QStringLiteral("vehicle"));
    if (stored && stored->isString()) {
        if (const auto vehicle = vehicleFromRawValue(stored->toString().toStdString())) {
            return *vehicle;
        }
    }
    return Vehicle::corsel;
}

void VehiclePreference::setSelected(Vehicle vehicle)
{
    GloamyardPreferences::defaults().setValue(
        QStringLiteral("vehicle"),
        QString::fromLatin1(rawValue(vehicle).data(), static_cast<int>(rawValue(vehicle).size())));
}

} // namespace gloam
