// The loopback mixer: OpenAL's mix in whole video frames, without a sound card.
#include "platform/audio/LoopbackMixer.h"
#include "platform/audio/OpenAlAudioPlayer.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>

namespace gloam::platform {
namespace {

TEST(LoopbackMixer, SplitsEachSecondIntoFramesWithoutDrift)
{
    struct Case {
        int rate, fps;
    };
    for (const Case c : {Case{48000, 30}, Case{48000, 24}, Case{48000, 7}, Case{44100, 60}, Case{48000, 240}}) {
        std::int64_t total = 0;
        std::int64_t smallest = c.rate;
        std::int64_t largest = 0;
        for (int frame = 0; frame < c.fps * 3; ++frame) {
            const std::int64_t count = LoopbackMixer::samplesBefore(frame + 1, c.rate, c.fps) -
                                       LoopbackMixer::samplesBefore(frame, c.rate, c.fps);
            smallest = std::min(smallest, count);
            largest = std::max(largest, count);
            total += count;
        }
        EXPECT_EQ(total, 3 * c.rate) << c.rate << " Hz at " << c.fps << " fps";
        EXPECT_LE(largest - smallest, 1) << c.rate << " Hz at " << c.fps << " fps";
    }
    // 10 minutes at 30 fps end exactly on the sample of 600 s.
    EXPECT_EQ(LoopbackMixer::samplesBefore(18000, 48000, 30), 600LL * 48000);
}

// A WAV file of one second of a constant level (mono, 16 bit, 48 kHz).
std::filesystem::path writeConstantWav(const std::filesystem::path& folder, std::int16_t level)
{
    const std::filesystem::path file = folder / "level.wav";
    const std::uint32_t rate = 48000;
    const std::uint32_t bytes = rate * 2;
    std::ofstream out(file, std::ios::binary);
    auto u32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4);
    u32(36 + bytes);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(1);
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    out.write("data", 4);
    u32(bytes);
    for (std::uint32_t i = 0; i < rate; ++i) {
        u16(static_cast<std::uint16_t>(level));
    }
    return file;
}

TEST(LoopbackMixer, HearsASoundStartedBeforeAFrameFromThatFramesFirstSample)
{
    testing::TemporaryFolder folder("gloamyard-mixer");
    LoopbackMixer mixer(48000, 30);
    OpenAlAudioPlayer player(writeConstantWav(folder.path(), 16384));
    player.setVolume(1.0F);

    for (int frame = 0; frame < 3; ++frame) {
        const std::vector<float>& mix = mixer.mixFrame();
        ASSERT_EQ(mix.size(), 1600U * 2);
        for (float sample : mix) {
            ASSERT_EQ(sample, 0.0F) << "nothing plays yet, frame " << frame;
        }
    }
    ASSERT_TRUE(player.play());
    const std::vector<float> started = mixer.mixFrame();
    ASSERT_EQ(started.size(), 1600U * 2);
    // Heard within the first few samples (the resampler's own delay), and
    // then at its level on both sides, a centred mono source.
    int firstHeard = -1;
    for (int i = 0; i < 1600 && firstHeard < 0; ++i) {
        if (std::abs(started[static_cast<std::size_t>(2 * i)]) > 0.1F) {
            firstHeard = i;
        }
    }
    EXPECT_GE(firstHeard, 0);
    EXPECT_LE(firstHeard, 8);
    const float left = started[1000 * 2];
    const float right = started[1000 * 2 + 1];
    EXPECT_GT(left, 0.2F);
    EXPECT_NEAR(left, right, 1e-4F);
    EXPECT_EQ(mixer.framesMixed(), 4);
}

} // namespace
} // namespace gloam::platform
