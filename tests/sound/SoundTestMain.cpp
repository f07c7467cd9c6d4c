// Sound tests play into OpenAL's loopback device (rendered on demand into
// memory) and store their choices in a private config directory.
#include "platform/audio/AudioDevice.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

int main(int argc, char** argv)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "gloamyard-sound-XXXXXX").string();
    const std::filesystem::path home = ::mkdtemp(pattern.data());
    ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    gloam::platform::AudioDevice::useLoopback(48000);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::filesystem::remove_all(home);
    return result;
}
