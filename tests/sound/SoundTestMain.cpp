// Sound tests play into OpenAL's loopback device (rendered on demand into
// memory) and store their choices in a private config directory.
#include "platform/async/WorkerPool.h"
#include "platform/audio/AudioDevice.h"

#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

int main(int argc, char** argv)
{
    const gloam::testing::TemporaryFolder home("gloamyard-sound");
    ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    gloam::platform::AudioDevice::useLoopback(48000);
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    // Decoding jobs the tests left behind end before the device closes.
    gloam::async::WorkerPool::shared().waitForDone();
    gloam::platform::AudioDevice::closeShared();
    return status;
}
