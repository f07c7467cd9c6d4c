#include "engine/common/HalloweenResources.h"

#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace fs = std::filesystem;

TEST(HalloweenResourcesTest, FoundBesideTheProgramInTheInstalledLayout)
{
    gloam::testing::TemporaryFolder prefix("gloamyard-install");
    fs::create_directories(prefix / "bin");
    EXPECT_FALSE(gloam::findResourceFolder(prefix / "bin").has_value());

    fs::create_directories(prefix / "share" / "gloamyard" / "Resources");
    const auto found = gloam::findResourceFolder(prefix / "bin");
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(*found, fs::canonical(prefix / "share" / "gloamyard" / "Resources"));
}

TEST(HalloweenResourcesTest, ProgramDirectoryIsWhereThisTestRuns)
{
    EXPECT_EQ(gloam::programDirectory(), fs::canonical("/proc/self/exe").parent_path());
}

// The probe program looks the folder up and prints it: beside the build
// tree's resource folder it finds it, in a copy placed where there is no
// folder it ends with a message.
namespace {

std::pair<int, std::string> runProbe(const fs::path& program, const fs::path& output)
{
    const std::string command = program.string() + " > " + output.string() + " 2>&1";
    const int status = std::system(command.c_str());
    std::ifstream in(output);
    std::stringstream text;
    text << in.rdbuf();
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text.str()};
}

} // namespace

TEST(HalloweenResourcesTest, MissingFolderEndsTheProcessWithAMessage)
{
    gloam::testing::TemporaryFolder lonely("gloamyard-lonely");
    fs::create_directories(lonely / "bin");
    const fs::path copy = lonely / "bin" / "resource-probe";
    fs::copy_file(GLOAMYARD_RESOURCE_PROBE, copy);

    const auto [status, text] = runProbe(copy, lonely / "out.txt");
    EXPECT_NE(status, 0) << text;
    EXPECT_NE(text.find("its resource folder is missing"), std::string::npos) << text;

    fs::create_directories(lonely / "share" / "gloamyard" / "Resources");
    const auto [foundStatus, foundText] = runProbe(copy, lonely / "out.txt");
    EXPECT_EQ(foundStatus, 0) << foundText;
    EXPECT_NE(foundText.find("found " + fs::canonical(lonely / "share" / "gloamyard" / "Resources").string()),
              std::string::npos)
        << foundText;
}
