#include "engine/prefs/Vehicle.h"
#include "engine/sound/SoundMode.h"

#include <gtest/gtest.h>

using namespace gloam;

TEST(VehicleTest, CatalogueHoldsEveryVehiclesMeasurements)
{
    const struct {
        Vehicle vehicle;
        const char* raw;
        const char* title;
        const char* asset;
        float shadowX, shadowY, radius, halfLength, top;
    } rows[] = {
        {Vehicle::corsel, "corsel", "Corsel", "MarvetGhost.glb", 6.2F, 3.65F, 19.7F, 2.5F, 1.55F},
        {Vehicle::vantre, "vantre", "Vantre", "VantreGhost.glb", 6.2F, 3.65F, 19.7F, 2.5F, 1.55F},
        {Vehicle::brusker, "brusker", "Brusker", "BruskerGhost.glb", 7.3F, 3.8F, 22.0F, 3.08F, 1.9F},
        {Vehicle::spirra, "spirra", "Spirra", "SpirraGhost.glb", 6.15F, 3.75F, 19.7F, 2.58F, 1.4F},
    };
    ASSERT_EQ(allVehicles.size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const auto& row = rows[i];
        EXPECT_EQ(allVehicles[i], row.vehicle) << "catalogue order";
        EXPECT_EQ(rawValue(row.vehicle), row.raw);
        EXPECT_EQ(vehicleFromRawValue(row.raw), row.vehicle);
        EXPECT_EQ(title(row.vehicle), row.title);
        EXPECT_EQ(asset(row.vehicle), row.asset);
        EXPECT_EQ(effects(row.vehicle), std::string(row.raw) + "-ScenePostprocess.glsl");
        EXPECT_EQ(shadowSize(row.vehicle).x, row.shadowX);
        EXPECT_EQ(shadowSize(row.vehicle).y, row.shadowY);
        EXPECT_EQ(cameraRadius(row.vehicle), row.radius);
        EXPECT_EQ(halfLength(row.vehicle), row.halfLength);
        EXPECT_EQ(top(row.vehicle), row.top);
    }
    for (const char* unknown : {"", "Corsel", "corsel ", "marvet"}) {
        EXPECT_FALSE(vehicleFromRawValue(unknown).has_value()) << unknown;
    }
}

TEST(SoundModeTest, RawValues)
{
    EXPECT_EQ(rawValue(SoundMode::app), "app");
    EXPECT_EQ(rawValue(SoundMode::saver), "saver");
    EXPECT_EQ(rawValue(SoundMode::preview), "preview");
    EXPECT_EQ(soundModeFromRawValue("saver"), SoundMode::saver);
    EXPECT_FALSE(soundModeFromRawValue("App").has_value());
}
