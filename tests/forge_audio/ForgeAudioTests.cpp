// Measures the sound resources as the forge program wrote them: length,
// peak, loudness, DC, how each starts and ends, and what makes each sound
// what it is.

#include "forge/audio/AudioResources.h"
#include "forge/audio/CueSounds.h"
#include "forge/audio/WavFile.h"
#include "resources/ResourceFiles.h"
#include "tests/forge_audio/AudioDecoder.h"
#include "tests/support/TemporaryFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>

namespace gloam::forge::audio {

// Test names and failure messages show the cue by its file.
void PrintTo(const CueSounds::Cue& cue, std::ostream* out)
{
    *out << cue.file;
}

namespace {

using TempFolder = gloam::testing::TemporaryFolder;

// The Audio folder under test: the one the ctest setup step filled with
// gloamyard-forge-audio, or (when the program is run by hand) one made here.
const std::filesystem::path& audioFolder()
{
    static std::unique_ptr<TempFolder> own;
    static const std::filesystem::path folder = [] {
        if (const char* given = std::getenv("GLOAMYARD_FORGE_AUDIO_DIR"))
            return std::filesystem::path(given) / resources::audioFolder;
        own = std::make_unique<TempFolder>();
        writeAudioResources(own->path());
        return own->path() / resources::audioFolder;
    }();
    return folder;
}

struct Measure {
    double peak = 0.0;
    double rms = 0.0;
    double worstMean = 0.0; // largest |mean| of any channel
    int clipped = 0;
};

Measure measure(const AudioBuffer& audio, double from, double to)
{
    Measure m;
    const std::size_t a = audio.frameAt(from);
    const std::size_t b = std::max(a, audio.frameAt(to));
    double sumSquares = 0.0;
    for (const auto& channel : audio.channels) {
        double sum = 0.0;
        for (std::size_t i = a; i < b; ++i) {
            const double s = channel[i];
            m.peak = std::max(m.peak, std::abs(s));
            sumSquares += s * s;
            sum += s;
            if (std::abs(s) >= 32767.0 / 32768.0)
                ++m.clipped;
        }
        if (b > a)
            m.worstMean = std::max(m.worstMean, std::abs(sum / static_cast<double>(b - a)));
    }
    const auto count = static_cast<double>((b - a) * audio.channels.size());
    m.rms = count > 0 ? std::sqrt(sumSquares / count) : 0.0;
    return m;
}

// Share of a stretch's energy that is high-frequency (first differences).
double brightness(const AudioBuffer& audio, double from, double to)
{
    double energy = 0.0, difference = 0.0;
    for (const auto& channel : audio.channels)
        for (std::size_t i = std::max<std::size_t>(audio.frameAt(from), 1); i < audio.frameAt(to); ++i) {
            energy += channel[i] * channel[i];
            const double d = channel[i] - channel[i - 1];
            difference += d * d;
        }
    return difference / std::max(energy, 1e-12);
}

double channelEnergy(const AudioBuffer& audio, std::size_t channel, double from, double to)
{
    double energy = 0.0;
    for (std::size_t i = audio.frameAt(from); i < audio.frameAt(to); ++i)
        energy += audio.channels[channel][i] * audio.channels[channel][i];
    return energy;
}

// Power of one frequency over a stretch of the summed channels (Goertzel).
double tonePower(const AudioBuffer& audio, double frequency, double from, double to)
{
    const double w = 2.0 * std::numbers::pi * frequency / audio.sampleRate;
    const double coefficient = 2.0 * std::cos(w);
    double s1 = 0.0, s2 = 0.0;
    for (std::size_t i = audio.frameAt(from); i < audio.frameAt(to); ++i) {
        double x = 0.0;
        for (const auto& channel : audio.channels)
            x += channel[i];
        const double s = x + coefficient * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    return s1 * s1 + s2 * s2 - coefficient * s1 * s2;
}

AudioBuffer readCue(std::string_view file)
{
    return WavFile::read(audioFolder() / file);
}

// ---------------------------------------------------------------------------
// Every cue file.

class CueFile : public ::testing::TestWithParam<CueSounds::Cue> {};

TEST_P(CueFile, IsStereoAtCdRateAndLastsThroughItsEvent)
{
    const auto& cue = GetParam();
    const auto audio = readCue(cue.file);
    EXPECT_EQ(audio.sampleRate, 44100);
    EXPECT_EQ(audio.channelCount(), 2);
    EXPECT_GE(audio.duration(), cue.eventLength);
    EXPECT_LE(audio.duration(), cue.eventLength + 0.1);

    // Sound all the way through the event up to its closing fade: no
    // stretch of 100 ms falls below -54 dBFS.
    for (double t = 0.0; t + 0.1 < cue.eventLength - 0.45; t += 0.1)
        EXPECT_GT(measure(audio, t, t + 0.1).rms, 0.002) << cue.file << " drops out at " << t << " s";
}

TEST_P(CueFile, PeaksBelowFullScaleWithHealthyLoudnessAndNoOffset)
{
    const auto& cue = GetParam();
    const auto audio = readCue(cue.file);
    const auto whole = measure(audio, 0.0, audio.duration());
    EXPECT_LT(whole.peak, 0.95) << cue.file; // about -1 dBFS, never full scale
    EXPECT_GT(whole.peak, 0.7) << cue.file;
    EXPECT_EQ(whole.clipped, 0) << cue.file;
    EXPECT_GT(whole.rms, 0.03) << cue.file; // louder than -30 dBFS
    EXPECT_LT(whole.rms, 0.35) << cue.file; // not a squashed wall of sound
    EXPECT_LT(whole.worstMean, 0.001) << cue.file;
}

TEST_P(CueFile, StartsOnItsFirstSampleAndEndsSilentWithoutAClick)
{
    const auto& cue = GetParam();
    const auto audio = readCue(cue.file);
    EXPECT_GT(measure(audio, 0.0, 0.02).rms, 0.003) << cue.file << " starts late";
    EXPECT_LT(measure(audio, 0.0, 1.0 / 44100.0).peak, 0.01) << cue.file << " starts with a step";
    EXPECT_LT(measure(audio, cue.eventLength - 0.01, cue.eventLength).peak, 0.02) << cue.file << " is cut, not faded";
    EXPECT_LT(measure(audio, cue.eventLength, audio.duration()).peak, 0.001) << cue.file << " sounds past its event";
}

INSTANTIATE_TEST_SUITE_P(AllCues, CueFile, ::testing::ValuesIn(CueSounds::all()), [](const auto& param) {
    std::string name(param.param.file.substr(0, param.param.file.find('.')));
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

TEST(CueFiles, AreEveryListedSoundFile)
{
    std::vector<std::string_view> made;
    for (const auto& cue : CueSounds::all())
        made.push_back(cue.file);
    EXPECT_THAT(made, ::testing::UnorderedElementsAreArray(resources::soundFiles));
}

// ---------------------------------------------------------------------------
// What each sound is.

TEST(CueCharacter, ThunderCracksBrightThenRumblesLowThroughTheStrike)
{
    const auto thunder = readCue("thunder.wav");
    EXPECT_GT(brightness(thunder, 0.0, 0.15), 5.0 * brightness(thunder, 1.0, 2.5));
    EXPECT_GT(measure(thunder, 1.0, 2.5).rms, 0.02);
    EXPECT_GT(measure(thunder, 0.0, 0.5).peak, measure(thunder, 1.5, 3.0).peak * 2.0);
}

TEST(CueCharacter, HillThunderIsDistantDarkerThanTheCloseStrike)
{
    const auto close = readCue("thunder.wav");
    const auto hill = readCue("hill-thunder.wav");
    EXPECT_LT(brightness(hill, 0.0, 0.15) * 4.0, brightness(close, 0.0, 0.15));
    EXPECT_LT(brightness(hill, 0.0, 2.0), brightness(close, 0.0, 2.0));
}

TEST(CueCharacter, WitchPassesFromRightToLeft)
{
    const auto witch = readCue("witch.wav");
    EXPECT_GT(channelEnergy(witch, 1, 0.0, 1.0), 1.5 * channelEnergy(witch, 0, 0.0, 1.0));
    EXPECT_GT(channelEnergy(witch, 0, 2.2, 3.1), 1.5 * channelEnergy(witch, 1, 2.2, 3.1));
}

TEST(CueCharacter, ChargerBeepsRiseAsEachChargeBarLights)
{
    // Bar i lights when the charge, a smoothstep over 5.6 s from the cue's
    // start, passes 0.21 (i + 1).
    const auto charger = readCue("charger.wav");
    const double notes[] = {880.0, 1046.5, 1318.5, 1568.0};
    for (int bar = 0; bar < 4; ++bar) {
        double lo = 0.0, hi = 5.6;
        for (int step = 0; step < 50; ++step) {
            const double mid = 0.5 * (lo + hi);
            const double x = mid / 5.6;
            (x * x * (3.0 - 2.0 * x) < 0.21 * (bar + 1) ? lo : hi) = mid;
        }
        const double during = tonePower(charger, notes[bar], lo + 0.02, lo + 0.09);
        const double before = tonePower(charger, notes[bar], lo - 0.2, lo - 0.13);
        EXPECT_GT(during, 30.0 * before) << "bar " << bar << " at " << lo << " s";
    }
}

TEST(CueCharacter, BatsFlutterAcrossBothSides)
{
    const auto bats = readCue("bats.wav");
    double side = 0.0, mid = 0.0;
    for (std::size_t i = 0; i < bats.frameCount(); ++i) {
        const double l = bats.channels[0][i], r = bats.channels[1][i];
        side += (l - r) * (l - r);
        mid += (l + r) * (l + r);
    }
    EXPECT_GT(side, 0.1 * mid);
    // Squeaks and wing beats: far brighter than the ghost's breathy moan.
    EXPECT_GT(brightness(bats, 0.2, 2.0), brightness(readCue("ghost.wav"), 0.2, 1.5));
}

// Separate bursts of high-frequency energy (crackles, pops, clicks) per
// second: 5 ms windows of first differences standing well above the median.
double transientsPerSecond(const AudioBuffer& audio, double from, double to)
{
    const std::size_t window = static_cast<std::size_t>(0.005 * audio.sampleRate);
    std::vector<double> levels;
    for (std::size_t a = std::max<std::size_t>(audio.frameAt(from), 1); a + window <= audio.frameAt(to); a += window) {
        double sum = 0.0;
        for (std::size_t i = a; i < a + window; ++i) {
            const double d = audio.channels[0][i] - audio.channels[0][i - 1];
            sum += d * d;
        }
        levels.push_back(sum);
    }
    auto sorted = levels;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2), sorted.end());
    const double threshold = 6.0 * sorted[sorted.size() / 2];
    int count = 0;
    bool inside = false;
    for (double level : levels) {
        if (level > threshold && !inside)
            ++count;
        inside = level > threshold;
    }
    return count / (to - from);
}

TEST(CueCharacter, PumpkinFlameCatchesWithAWhooshThenCrackles)
{
    const auto pumpkin = readCue("pumpkin.wav");
    EXPECT_GT(measure(pumpkin, 0.05, 0.4).rms, 1.5 * measure(pumpkin, 2.0, 4.0).rms);
    EXPECT_GT(transientsPerSecond(pumpkin, 1.0, 5.5), 4.0);
    // The steady flame has no pops to speak of without the crackle: the
    // ghost's breath, for comparison, has none.
    EXPECT_LT(transientsPerSecond(readCue("ghost.wav"), 0.2, 1.4), 1.0);
}

TEST(CueCharacter, HandCracksTheEarthThenItsBonesCreak)
{
    const auto hand = readCue("hand.wav");
    // Cracks: sharp bursts in the first second as the ground breaks.
    EXPECT_GE(transientsPerSecond(hand, 0.0, 1.3), 3.0);
    // Creaks: a bony resonance near 720 Hz rings while the fingers bend
    // (from 0.55 s), far stronger than before the first creak.
    EXPECT_GT(tonePower(hand, 720.0, 0.7, 1.1), 10.0 * tonePower(hand, 720.0, 0.1, 0.5));
    EXPECT_GT(tonePower(hand, 720.0, 2.3, 2.7), 10.0 * tonePower(hand, 720.0, 0.1, 0.5));
}

TEST(CueCharacter, GhostMoanRisesInPitch)
{
    // The moan glides up an octave from about 190 Hz: early on the low
    // tone dominates, late the high one.
    const auto ghost = readCue("ghost.wav");
    const double earlyLow = tonePower(ghost, 200.0, 0.25, 0.45);
    const double earlyHigh = tonePower(ghost, 370.0, 0.25, 0.45);
    const double lateLow = tonePower(ghost, 200.0, 1.2, 1.4);
    const double lateHigh = tonePower(ghost, 370.0, 1.2, 1.4);
    EXPECT_GT(earlyLow, earlyHigh);
    EXPECT_GT(lateHigh, lateLow);
}

TEST(CueSynthesis, IsDeterministicDownToTheWrittenBytes)
{
    TempFolder folder;
    WavFile::write(folder.path() / "ghost.wav", CueSounds::ghost());
    auto bytes = [](const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    EXPECT_EQ(bytes(folder.path() / "ghost.wav"), bytes(audioFolder() / "ghost.wav"));
}

// ---------------------------------------------------------------------------
// The music.

class Music : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        decoded_ = new testing::DecodedAudio(testing::decodeAudioFile(audioFolder() / resources::music));
    }
    static void TearDownTestSuite()
    {
        delete decoded_;
        decoded_ = nullptr;
    }
    static const AudioBuffer& audio() { return decoded_->audio; }
    static testing::DecodedAudio* decoded_;
};
testing::DecodedAudio* Music::decoded_ = nullptr;

TEST_F(Music, IsStereoAacInMp4LastingAtLeastNinetySeconds)
{
    EXPECT_EQ(decoded_->codec, "aac");
    EXPECT_THAT(decoded_->container, ::testing::HasSubstr("mp4"));
    EXPECT_EQ(audio().sampleRate, 44100);
    EXPECT_EQ(audio().channelCount(), 2);
    EXPECT_GE(audio().duration(), 90.0);
    EXPECT_LE(audio().duration(), 91.5);
}

TEST_F(Music, PlaysThroughoutBelowFullScale)
{
    const auto whole = measure(audio(), 0.0, audio().duration());
    EXPECT_LT(whole.peak, 0.99);
    EXPECT_GT(whole.peak, 0.5);
    EXPECT_GT(whole.rms, 0.05);
    EXPECT_LT(whole.worstMean, 0.002);
    EXPECT_GT(measure(audio(), 0.0, 0.5).rms, 0.005) << "the music starts with the opening";
    for (double t = 0.0; t < 85.0; t += 5.0)
        EXPECT_GT(measure(audio(), t, t + 5.0).rms, 0.02) << "quiet stretch at " << t << " s";
}

TEST_F(Music, EndsNaturallyJustBeforeNinetySeconds)
{
    const double lastChord = measure(audio(), 86.0, 87.5).rms;
    const double dying = measure(audio(), 88.5, 89.5).rms;
    EXPECT_GT(lastChord, 0.02);
    EXPECT_LT(dying, lastChord * 0.7);
    EXPECT_LT(measure(audio(), 90.0, audio().duration()).peak, 0.003);
}

TEST_F(Music, MeetsTheOpeningsTitleLightningWithADrumStroke)
{
    // The kettle drum on D2 (73 Hz) falls with the title lightning at
    // 2.15 s: its tone is far stronger just after than just before.
    const auto& music = audio();
    AudioBuffer mono(music.sampleRate, 1, music.frameCount());
    for (std::size_t i = 0; i < music.frameCount(); ++i)
        mono.channels[0][i] = music.channels[0][i] + music.channels[1][i];
    EXPECT_GT(tonePower(mono, 73.4, 2.15, 2.45), 4.0 * tonePower(mono, 73.4, 1.75, 2.05));
}

// ---------------------------------------------------------------------------
// The credits and failures.

TEST(SoundCredits, NameEverySoundTheMusicAndTheLibrariesWithLicences)
{
    std::ifstream in(audioFolder() / resources::soundCredits);
    ASSERT_TRUE(in) << "no credits file";
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (auto file : resources::soundFiles)
        EXPECT_THAT(text, ::testing::HasSubstr(std::string(file)));
    EXPECT_THAT(text, ::testing::HasSubstr(std::string(resources::music)));
    EXPECT_THAT(text, ::testing::HasSubstr("FFmpeg"));
    EXPECT_THAT(text, ::testing::HasSubstr("Lesser General Public License"));
}

TEST(AudioResources, FailsClearlyWhenTheAudioFolderCannotBeMade)
{
    TempFolder folder;
    {
        std::ofstream blocker(folder.path() / resources::audioFolder);
    }
    try {
        writeAudioResources(folder.path());
        FAIL() << "expected an error";
    } catch (const std::runtime_error& error) {
        EXPECT_THAT(error.what(), ::testing::HasSubstr((folder.path() / resources::audioFolder).string()));
    }
}

} // namespace
} // namespace gloam::forge::audio
