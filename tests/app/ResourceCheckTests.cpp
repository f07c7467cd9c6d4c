// A missing or damaged resource folder is found before the window is built.
#include "app/ResourceCheck.h"
#include "engine/prefs/Vehicle.h"
#include "resources/ResourceFiles.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

using namespace gloam;
using gloam::app::ResourceCheck;
namespace fs = std::filesystem;

namespace {

class ResourceCheckTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string glb("glTF\x02\0\0\0", 8);
        for (std::string_view model : {resources::graveyardModel, resources::handModel}) {
            write(std::string(model), glb);
        }
        for (std::string_view model : resources::vehicleModels) {
            write(std::string(model), glb);
        }
        for (Vehicle vehicle : allVehicles) {
            write(effects(vehicle), "void cyanHighlights() {}\n");
        }
        write(std::string(resources::propTargets), "[]");
        write(std::string(resources::fogDensity),
              std::string(static_cast<std::size_t>(resources::fogWidth * resources::fogHeight * resources::fogDepth),
                          '\x10'));
    }

    void write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(folder / name, std::ios::binary) << bytes;
    }

    const gloam::testing::TemporaryFolder scratch{"gloamyard-check"};
    const fs::path& folder = scratch.path();
};

TEST_F(ResourceCheckTest, AWholeFolderPasses)
{
    EXPECT_EQ(ResourceCheck::problem(folder), std::nullopt);
}

TEST_F(ResourceCheckTest, AMissingFolderIsNamed)
{
    const fs::path gone = folder / "nowhere";
    const auto problem = ResourceCheck::problem(gone);
    ASSERT_TRUE(problem.has_value());
    EXPECT_NE(problem->find(gone.string()), std::string::npos);
    EXPECT_NE(problem->find("missing"), std::string::npos);
    const std::string message = ResourceCheck::message(*problem);
    EXPECT_NE(message.find(gone.string()), std::string::npos);
}

TEST_F(ResourceCheckTest, DamageNamesTheFolderAndTheFile)
{
    struct Case {
        std::string file;
        std::optional<std::string> bytes; // none: removed
        const char* says;
    };
    const Case cases[] = {
        {std::string(resources::graveyardModel), std::nullopt, "missing"},
        {std::string(resources::vehicleModels[2]), std::string("PK\x03\x04 not a model"), "not readable"},
        {std::string(resources::handModel), std::string(), "not readable"},
        {std::string(resources::fogDensity), std::string(100, '\x01'), "not readable"},
        {effects(Vehicle::spirra), std::nullopt, "missing"},
        {std::string(resources::propTargets), std::string(), "not readable"},
    };
    for (const Case& damage : cases) {
        SCOPED_TRACE(damage.file);
        SetUp();
        if (damage.bytes) {
            write(damage.file, *damage.bytes);
        } else {
            fs::remove(folder / damage.file);
        }
        const auto problem = ResourceCheck::problem(folder);
        ASSERT_TRUE(problem.has_value());
        EXPECT_NE(problem->find(folder.string()), std::string::npos);
        EXPECT_NE(problem->find(damage.file), std::string::npos);
        EXPECT_NE(problem->find(damage.says), std::string::npos) << *problem;
        TearDown();
    }
}

} // namespace
