#include "engine/scene/HalloweenResources.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(HalloweenResourcesTest, FoundBesideTheProgramInTheInstalledLayout)
{
    std::string pattern = (fs::temp_directory_path() / "gloamyard-install-XXXXXX").string();
    const fs::path prefix = ::mkdtemp(pattern.data());
    fs::create_directories(prefix / "bin");
    EXPECT_FALSE(gloam::findResourceFolder(prefix / "bin").has_value());

    fs::create_directories(prefix / "share" / "gloamyard" / "Resources");
    const auto found = gloam::findResourceFolder(prefix / "bin");
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(*found, fs::canonical(prefix / "share" / "gloamyard" / "Resources"));
    fs::remove_all(prefix);
}

TEST(HalloweenResourcesTest, ProgramDirectoryIsWhereThisTestRuns)
{
    EXPECT_EQ(gloam::programDirectory(), fs::canonical("/proc/self/exe").parent_path());
}

TEST(HalloweenResourcesDeathTest, MissingFolderEndsTheProcessWithAMessage)
{
    // Test programs live in bin/ of the build tree. The death test runs in a
    // copy of this program placed where no resource folder is beside it.
    std::string pattern = (fs::temp_directory_path() / "gloamyard-lonely-XXXXXX").string();
    const fs::path lonely = ::mkdtemp(pattern.data());
    fs::create_directories(lonely / "bin");
    const fs::path copy = lonely / "bin" / "engine_scene_tests";
    fs::copy_file("/proc/self/exe", copy);
    const std::string command =
        copy.string() +
        " --gtest_filter=HalloweenResourcesDeathTest.DISABLED_Probe --gtest_also_run_disabled_tests > " +
        (lonely / "out.txt").string() + " 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 0);
    std::FILE* out = std::fopen((lonely / "out.txt").c_str(), "r");
    ASSERT_NE(out, nullptr);
    char text[4096] = {};
    const std::size_t length = std::fread(text, 1, sizeof text - 1, out);
    std::fclose(out);
    EXPECT_NE(std::string(text, length).find("its resource folder is missing"), std::string::npos) << text;
    fs::remove_all(lonely);
}

// Run only by the test above, in a copy of this program.
TEST(HalloweenResourcesDeathTest, DISABLED_Probe)
{
    const fs::path folder = gloam::halloweenResources();
    FAIL() << "expected the process to end, got " << folder;
}
