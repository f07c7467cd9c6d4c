// The building blocks measured on their own: the AAC encoder round trip
// and the tuning of the music's instruments.

#include "forge/audio/Instruments.h"
#include "forge/audio/M4aEncoder.h"
#include "tests/forge_audio/AudioDecoder.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>
#include <numbers>
#include <string>

namespace gloam::forge::audio {
namespace {

using TempFolder = gloam::testing::TemporaryFolder;

double tonePower(const std::vector<float>& x, int rate, double frequency, double from, double to)
{
    const double coefficient = 2.0 * std::cos(2.0 * std::numbers::pi * frequency / rate);
    double s1 = 0.0, s2 = 0.0;
    const auto a = static_cast<std::size_t>(from * rate);
    const auto b = std::min(x.size(), static_cast<std::size_t>(to * rate));
    for (std::size_t i = a; i < b; ++i) {
        const double s = x[i] + coefficient * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    return s1 * s1 + s2 * s2 - coefficient * s1 * s2;
}

// The strongest frequency within ±4 % of `expected`.
double strongestNear(const std::vector<float>& x, int rate, double expected, double from, double to)
{
    double best = expected, bestPower = -1.0;
    for (double f = expected * 0.96; f <= expected * 1.04; f += expected * 0.0002) {
        const double power = tonePower(x, rate, f, from, to);
        if (power > bestPower) {
            bestPower = power;
            best = f;
        }
    }
    return best;
}

// Power-weighted mean frequency within ±4 % of `expected`: the centre of a
// tone with vibrato, whose sidebands may outweigh the carrier itself.
double centreNear(const std::vector<float>& x, int rate, double expected, double from, double to)
{
    double weighted = 0.0, total = 0.0;
    for (double f = expected * 0.96; f <= expected * 1.04; f += expected * 0.0002) {
        const double power = tonePower(x, rate, f, from, to);
        weighted += power * f;
        total += power;
    }
    return weighted / total;
}

AudioBuffer twoTones(double seconds)
{
    auto buffer = AudioBuffer::seconds(seconds);
    for (std::size_t i = 0; i < buffer.frameCount(); ++i) {
        const double t = static_cast<double>(i) / buffer.sampleRate;
        buffer.channels[0][i] = static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * 440.0 * t));
        buffer.channels[1][i] = static_cast<float>(0.25 * std::sin(2.0 * std::numbers::pi * 660.0 * t));
    }
    return buffer;
}

std::string bytesOf(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(M4aEncoder, RoundTripKeepsLengthChannelsPitchAndLevel)
{
    TempFolder folder;
    const auto path = folder.path() / "tones.m4a";
    M4aEncoder::write(path, twoTones(2.0));
    const auto decoded = testing::decodeAudioFile(path);
    EXPECT_EQ(decoded.codec, "aac");
    ASSERT_EQ(decoded.audio.channelCount(), 2);
    EXPECT_EQ(decoded.audio.sampleRate, 44100);
    EXPECT_NEAR(decoded.audio.duration(), 2.0, 0.03);

    const auto& left = decoded.audio.channels[0];
    const auto& right = decoded.audio.channels[1];
    EXPECT_NEAR(strongestNear(left, 44100, 440.0, 0.2, 1.8), 440.0, 0.5);
    EXPECT_GT(tonePower(left, 44100, 440.0, 0.2, 1.8), 1000.0 * tonePower(left, 44100, 660.0, 0.2, 1.8));
    EXPECT_GT(tonePower(right, 44100, 660.0, 0.2, 1.8), 1000.0 * tonePower(right, 44100, 440.0, 0.2, 1.8));
    double sum = 0.0;
    for (std::size_t i = 44100 / 5; i < 44100 * 9 / 5; ++i)
        sum += left[i] * left[i];
    const double rms = std::sqrt(sum / (44100.0 * 1.6));
    EXPECT_NEAR(rms, 0.5 / std::sqrt(2.0), 0.02);
}

TEST(M4aEncoder, SameBufferGivesTheSameFile)
{
    TempFolder folder;
    M4aEncoder::write(folder.path() / "a.m4a", twoTones(1.0));
    M4aEncoder::write(folder.path() / "b.m4a", twoTones(1.0));
    EXPECT_EQ(bytesOf(folder.path() / "a.m4a"), bytesOf(folder.path() / "b.m4a"));
}

TEST(M4aEncoder, RefusesWhatItCannotEncodeAndLeavesNoPartialFile)
{
    TempFolder folder;
    EXPECT_THROW(M4aEncoder::write(folder.path() / "empty.m4a", AudioBuffer(44100, 2, 0)), EncodeError);
    EXPECT_THROW(M4aEncoder::write(folder.path() / "three.m4a", AudioBuffer(44100, 3, 100)), EncodeError);
    EXPECT_THROW(M4aEncoder::write(folder.path() / "missing" / "x.m4a", twoTones(0.2)), EncodeError);
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

// Each pitched instrument plays in tune: the fundamental within 6 cents.
struct Tuning {
    std::string name;
    std::function<void(Instruments&, double midi)> play;
    double from, to; // stretch to measure, seconds
    bool vibrato = false;
};

class InstrumentTuning : public ::testing::TestWithParam<Tuning> {};

TEST_P(InstrumentTuning, PlaysInTuneAcrossTheRange)
{
    for (double midi : {45.0, 57.0, 69.0, 81.0}) {
        auto buffer = AudioBuffer::seconds(2.0);
        Instruments play(buffer, 7);
        GetParam().play(play, midi);
        const double expected = Instruments::frequency(midi);
        const auto& tuning = GetParam();
        const double found =
            tuning.vibrato ? centreNear(buffer.channels[0], buffer.sampleRate, expected, tuning.from, tuning.to)
                           : strongestNear(buffer.channels[0], buffer.sampleRate, expected, tuning.from, tuning.to);
        EXPECT_NEAR(1200.0 * std::log2(found / expected), 0.0, 6.0) << GetParam().name << " at MIDI " << midi;
    }
}

void PrintTo(const Tuning& tuning, std::ostream* out)
{
    *out << tuning.name;
}

INSTANTIATE_TEST_SUITE_P(
    Pitched, InstrumentTuning,
    ::testing::Values(Tuning{"pluck", [](Instruments& p, double m) { p.pluck(0.0, m, 0.5f, 0.0); }, 0.05, 1.0},
                      Tuning{"musicBox", [](Instruments& p, double m) { p.musicBox(0.0, m, 0.5f, 0.0); }, 0.02, 0.8},
                      Tuning{"organ", [](Instruments& p, double m) { p.organ(0.0, 1.5, m, 0.5f); }, 0.4, 1.4},
                      Tuning{"theremin", [](Instruments& p, double m) { p.theremin(0.0, 1.5, m, m - 1.0, 0.5f, 0.0); },
                             0.3, 1.4, true}),
    [](const auto& param) { return param.param.name; });

} // namespace
} // namespace gloam::forge::audio
