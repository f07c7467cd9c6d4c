#include "tests/support/TemporaryFolder.h"
#include "engine/prefs/GloamyardPreferences.h"
#include "engine/sound/SceneSound.h"
#include "platform/audio/AudioDevice.h"
#include "platform/audio/AudioError.h"
#include "platform/audio/DecodedAudio.h"
#include "platform/audio/OpenAlAudioPlayer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <unistd.h>
#include <vector>

using namespace gloam;
using gloam::platform::AudioDevice;
namespace fs = std::filesystem;

namespace {

constexpr int rate = 48000;

// Writes a mono 16-bit WAV holding a sine tone.
void writeTone(const fs::path& file, double seconds, double hertz, double amplitude)
{
    const auto frames = static_cast<std::uint32_t>(seconds * rate);
    std::ofstream out(file, std::ios::binary);
    auto u32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4);
    u32(36 + frames * 2);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(1);
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    out.write("data", 4);
    u32(frames * 2);
    for (std::uint32_t i = 0; i < frames; ++i) {
        const double value = amplitude * std::sin(2.0 * std::numbers::pi * hertz * i / rate);
        u16(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(value * 32767.0))));
    }
}

// Seconds of the rendered left channel whose 10 ms windows carry signal,
// and the loudest sample.
struct Heard {
    double seconds = 0;
    float peak = 0;
};
Heard listen(const std::vector<float>& stereo)
{
    Heard heard;
    const std::size_t window = rate / 100;
    for (std::size_t start = 0; start + window <= stereo.size() / 2; start += window) {
        float loudest = 0;
        for (std::size_t i = start; i < start + window; ++i) {
            loudest = std::max(loudest, std::abs(stereo[i * 2]));
        }
        heard.peak = std::max(heard.peak, loudest);
        if (loudest > 0.002F) {
            heard.seconds += 0.01;
        }
    }
    return heard;
}

class OpenAlPlaybackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!AudioDevice::shared().available()) {
            GTEST_SKIP() << "OpenAL offers no loopback device: " << AudioDevice::shared().error();
        }
    }
    gloam::testing::TemporaryFolder folder_{"gloamyard-audio"};
};

} // namespace

TEST_F(OpenAlPlaybackTest, DecodesWavAndExplainsBadFiles)
{
    writeTone(folder_ / "tone.wav", 0.5, 440, 0.5);
    const auto audio = platform::DecodedAudio::decodeFile(folder_ / "tone.wav");
    EXPECT_EQ(audio.sampleRate, rate);
    EXPECT_EQ(audio.channels, 1);
    EXPECT_NEAR(audio.duration(), 0.5, 1e-3);

    std::ofstream(folder_ / "garbage.wav") << "RIFF this is not audio at all";
    std::ofstream(folder_ / "empty.wav");
    const struct {
        const char* file;
        const char* says;
    } bad[] = {{"missing.wav", "cannot play missing.wav: no such file"},
               {"garbage.wav", "cannot play garbage.wav:"},
               {"empty.wav", "cannot play empty.wav:"}};
    for (const auto& c : bad) {
        try {
            platform::DecodedAudio::decodeFile(folder_ / c.file);
            ADD_FAILURE() << c.file << " decoded";
        } catch (const platform::AudioError& error) {
            EXPECT_NE(std::string(error.what()).find(c.says), std::string::npos) << error.what();
        }
    }
}

TEST_F(OpenAlPlaybackTest, PlayerStartsAtItsCurrentTimeAndStopsAtTheEnd)
{
    writeTone(folder_ / "tone.wav", 0.5, 1000, 0.5);
    platform::OpenAlAudioPlayer player(folder_ / "tone.wav");
    EXPECT_NEAR(player.duration(), 0.5, 1e-3);
    player.setCurrentTime(0.2);
    player.setVolume(1.0F);
    ASSERT_TRUE(player.play());
    EXPECT_TRUE(player.isPlaying());
    const Heard heard = listen(AudioDevice::shared().renderLoopback(rate)); // one second
    EXPECT_NEAR(heard.seconds, 0.3, 0.021) << "0.5 s file from 0.2 s";
    EXPECT_FALSE(player.isPlaying());

    // Half the volume, half the level.
    player.setCurrentTime(0.0);
    player.setVolume(0.5F);
    ASSERT_TRUE(player.play());
    const Heard half = listen(AudioDevice::shared().renderLoopback(rate));
    EXPECT_NEAR(half.seconds, 0.5, 0.021);
    EXPECT_NEAR(half.peak, heard.peak * 0.5F, heard.peak * 0.05F);

    // Pause keeps the position.
    player.setCurrentTime(0.0);
    player.play();
    AudioDevice::shared().renderLoopback(rate / 10);
    player.pause();
    EXPECT_FALSE(player.isPlaying());
    EXPECT_NEAR(player.currentTime(), 0.1, 0.02);
    EXPECT_TRUE(listen(AudioDevice::shared().renderLoopback(rate / 10)).seconds == 0.0) << "paused is silent";
}

TEST_F(OpenAlPlaybackTest, SceneSoundPlaysTheThunderCueFromItsAge)
{
    const fs::path audio = folder_ / "Audio";
    fs::create_directories(audio);
    for (SoundCue cue : allSoundCues) {
        writeTone(audio / std::string(file(cue)), 1.0, cue == SoundCue::thunder ? 200 : 700, 0.8);
    }
    writeTone(audio / "orlenz.m4a", 3.0, 300, 0.0); // silent music: only the cue is heard

    fs::remove(GloamyardPreferences::sharedStoreFile(GloamyardPreferences::configDirectory()));
    SceneSound sound(SoundMode::app, folder_);
    sound.configure(true, 1.0F, false);
    sound.waitUntilLoaded(); // decoded off this thread; here the test waits
    SoundCueAges ages;
    ages.set(SoundCue::thunder, 0.1);
    sound.sync(ages, 0.1);
    ASSERT_FALSE(sound.loadError().has_value()) << *sound.loadError();
    ASSERT_TRUE(sound.isActive(SoundCue::thunder));

    const Heard heard = listen(AudioDevice::shared().renderLoopback(rate * 3 / 2));
    EXPECT_NEAR(heard.seconds, 0.9, 0.021) << "a 1 s cue started 0.1 s in";
    EXPECT_GT(heard.peak, 0.05F);
    EXPECT_LT(heard.peak, 0.8F * 0.2F * 1.01F) << "never louder than the cue's gain allows";
    sound.stop();
}
