#include "engine/prefs/GloamyardPreferences.h"
#include "engine/prefs/SoundPreference.h"
#include "engine/sound/SceneSound.h"
#include "platform/audio/AudioError.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

using namespace gloam;
namespace fs = std::filesystem;

namespace {

// A player that plays nothing and remembers what it was told.
class FakePlayer final : public platform::AudioPlayer {
public:
    explicit FakePlayer(double duration)
        : duration_(duration)
    {}
    void prepareToPlay() override { prepared = true; }
    bool play() override
    {
        playing = playSucceeds;
        plays += playSucceeds ? 1 : 0;
        return playing;
    }
    void pause() override { playing = false; }
    void stop() override { playing = false; }
    bool isPlaying() const override { return playing; }
    double currentTime() const override { return time; }
    void setCurrentTime(double seconds) override { time = seconds; }
    double duration() const override { return duration_; }
    float volume() const override { return level; }
    void setVolume(float volume) override { level = volume; }
    void setNumberOfLoops(int count) override { loops = count; }

    bool prepared = false;
    bool playing = false;
    bool playSucceeds = true;
    int plays = 0;
    int loops = -1;
    double time = 0;
    float level = 1;

private:
    double duration_;
};

struct FakeAudio {
    std::vector<std::string> opened;
    std::vector<FakePlayer*> made; // in the order made: the cues in cue order, then the music
    std::set<std::string> broken;
    double cueDuration = 2.0;
    double musicDuration = 120.0;
    bool musicStarts = true; // whether the music player's play() succeeds

    platform::AudioPlayerFactory factory()
    {
        return [this](const fs::path& file) -> std::unique_ptr<platform::AudioPlayer> {
            const std::string name = file.filename().string();
            if (broken.count(name) != 0) {
                throw platform::AudioError("cannot play " + name + ": no such file");
            }
            opened.push_back(file.string());
            auto player = std::make_unique<FakePlayer>(name == "orlenz.m4a" ? musicDuration : cueDuration);
            player->playSucceeds = name != "orlenz.m4a" || musicStarts;
            made.push_back(player.get());
            return player;
        };
    }

    FakePlayer* cue(SoundCue which) const { return made.at(index(which)); }
    FakePlayer* music() const { return made.at(soundCueCount); }
};

// Runs the decoding jobs at once, on the calling thread: the files are in
// by the end of the sync that asked for them.
SceneSound::Background inline_()
{
    return [](std::function<void()> job) { job(); };
}

// Holds the decoding jobs until the test runs them.
struct HeldJobs {
    std::vector<std::function<void()>> jobs;

    SceneSound::Background background()
    {
        return [this](std::function<void()> job) { jobs.push_back(std::move(job)); };
    }
    void runAll()
    {
        auto ready = std::move(jobs);
        jobs.clear();
        for (auto& job : ready) {
            job();
        }
    }
};

SoundCueAges agesOf(SoundCue cue, double age)
{
    SoundCueAges ages;
    ages.set(cue, age);
    return ages;
}

class SceneSoundTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::remove(GloamyardPreferences::sharedStoreFile(GloamyardPreferences::configDirectory()));
    }

    std::unique_ptr<SceneSound> makeSound(SoundMode mode = SoundMode::app)
    {
        return std::make_unique<SceneSound>(mode, "/res", audio.factory(), inline_());
    }

    FakeAudio audio;
};

} // namespace

TEST_F(SceneSoundTest, SilentByDefaultAndLoadsEverythingOnceEnabled)
{
    auto sound = makeSound();
    EXPECT_FALSE(sound->enabled());
    EXPECT_FLOAT_EQ(sound->volume(), 0.75F);
    sound->sync(agesOf(SoundCue::thunder, 0.0), 1.0 / 60);
    EXPECT_TRUE(audio.opened.empty()) << "nothing is loaded while sound is off";
    EXPECT_EQ(sound->musicElapsed(), 0.0) << "music time counts only while audible";

    sound->configure(true, 0.5F, false);
    sound->sync({}, 1.0 / 60);
    ASSERT_EQ(audio.opened.size(), 11U) << "ten cue players and the music";
    EXPECT_EQ(audio.opened.front(), "/res/Audio/thunder.wav");
    EXPECT_EQ(audio.opened.back(), "/res/Audio/orlenz.m4a");
    EXPECT_TRUE(audio.music()->prepared);
    EXPECT_EQ(audio.music()->loops, 0);
    EXPECT_TRUE(audio.music()->playing) << "the music starts with the first audible frame";
    EXPECT_FALSE(SoundPreference::enabled(SoundMode::app)) << "not persisted";
}

TEST_F(SceneSoundTest, PreviewNeverPlaysOrSaves)
{
    auto sound = makeSound(SoundMode::preview);
    sound->configure(true, 1.0F, true);
    EXPECT_FALSE(sound->enabled());
    sound->sync(agesOf(SoundCue::thunder, 0.0), 0.1);
    EXPECT_TRUE(audio.opened.empty());
    EXPECT_FALSE(fs::exists(GloamyardPreferences::sharedStoreFile(GloamyardPreferences::configDirectory())));
}

TEST_F(SceneSoundTest, ConfigureClampsAndPersists)
{
    auto sound = makeSound();
    sound->configure(true, 1.5F, true);
    EXPECT_FLOAT_EQ(sound->volume(), 1.0F);
    EXPECT_TRUE(SoundPreference::enabled(SoundMode::app));
    EXPECT_FLOAT_EQ(SoundPreference::volume(SoundMode::app), 1.0F);
    sound->configure(true, std::nanf(""), false);
    EXPECT_FLOAT_EQ(sound->volume(), 0.0F);

    SoundPreference::save(SoundMode::app, false, 0.25F);
    sound->refreshPreferences();
    EXPECT_FALSE(sound->enabled());
    EXPECT_FLOAT_EQ(sound->volume(), 0.25F);
}

TEST_F(SceneSoundTest, SoundTurnedOnMidStrikeWaitsForTheNextStrike)
{
    auto sound = makeSound();
    sound->sync(agesOf(SoundCue::thunder, 0.9), 0.1); // silent: the clock still sees the strike
    sound->configure(true, 1.0F, false);
    sound->sync(agesOf(SoundCue::thunder, 1.0), 0.1);
    FakePlayer* thunder = audio.cue(SoundCue::thunder);
    ASSERT_NE(thunder, nullptr);
    EXPECT_EQ(thunder->plays, 0);

    sound->sync({}, 0.1);
    sound->sync(agesOf(SoundCue::thunder, 0.02), 0.1);
    EXPECT_EQ(thunder->plays, 1);
    EXPECT_DOUBLE_EQ(thunder->time, 0.02) << "starts at the cue's age";
    EXPECT_FLOAT_EQ(thunder->level, 0.2F) << "gain times volume";
    EXPECT_TRUE(sound->isActive(SoundCue::thunder));
}

TEST_F(SceneSoundTest, CueCrossingZeroStartsAtItsOffsetAndStopsWhenItsEventEnds)
{
    auto sound = makeSound();
    sound->configure(true, 0.5F, false);
    sound->sync(agesOf(SoundCue::bats, -0.2), 0.1);
    sound->sync(agesOf(SoundCue::bats, 0.4), 0.6); // a long frame
    FakePlayer* bats = audio.cue(SoundCue::bats);
    EXPECT_EQ(bats->plays, 1);
    EXPECT_DOUBLE_EQ(bats->time, 0.4);
    EXPECT_FLOAT_EQ(bats->level, 0.28F * 0.5F);

    sound->sync({}, 0.1);
    EXPECT_FALSE(bats->playing) << "its event is over";
    EXPECT_FALSE(sound->isActive(SoundCue::bats));
}

TEST_F(SceneSoundTest, CueBeyondItsFileIsNotStartedAndAFinishedCueIsDropped)
{
    audio.cueDuration = 0.1;
    auto sound = makeSound();
    sound->configure(true, 1.0F, false);
    sound->sync(agesOf(SoundCue::hand, -0.1), 0.1);
    sound->sync(agesOf(SoundCue::hand, 0.2), 0.1);
    EXPECT_EQ(audio.cue(SoundCue::hand)->plays, 0);

    FakeAudio longer;
    auto other = std::make_unique<SceneSound>(SoundMode::app, "/res", longer.factory(), inline_());
    other->configure(true, 1.0F, false);
    other->sync(agesOf(SoundCue::pumpkin, 0.0), 0.1);
    ASSERT_TRUE(other->isActive(SoundCue::pumpkin));
    longer.cue(SoundCue::pumpkin)->playing = false; // ran out by itself
    other->sync(agesOf(SoundCue::pumpkin, 0.1), 0.1);
    EXPECT_FALSE(other->isActive(SoundCue::pumpkin));
}

TEST_F(SceneSoundTest, MusicDucksUnderEffectsAndRisesAfterwards)
{
    auto sound = makeSound();
    sound->configure(true, 1.0F, false);
    for (int i = 0; i < 300; ++i) {
        sound->sync({}, 1.0 / 60);
    }
    EXPECT_NEAR(sound->musicLevel(), 0.12F, 0.002F);

    sound->sync(agesOf(SoundCue::witch, 0.0), 1.0 / 60);
    for (int i = 1; i < 30; ++i) {
        sound->sync(agesOf(SoundCue::witch, i / 60.0), 1.0 / 60);
    }
    EXPECT_NEAR(sound->musicLevel(), 0.055F, 0.002F) << "half a second ducks almost fully";
    EXPECT_FLOAT_EQ(audio.music()->level, sound->musicLevel());

    sound->sync({}, 0.5);
    const float half = sound->musicLevel();
    const float expected = 0.055F + (0.12F - 0.055F) * static_cast<float>(1.0 - std::exp(-0.5 * 1.7));
    EXPECT_NEAR(half, expected, 0.002F) << "rising is slow";
}

TEST_F(SceneSoundTest, MusicEndsAfterNinetySecondsUntilTheOpeningRestarts)
{
    auto sound = makeSound();
    sound->configure(true, 1.0F, false);
    for (int i = 0; i < 89; ++i) {
        sound->sync({}, 1.0);
    }
    FakePlayer* music = audio.music();
    EXPECT_TRUE(music->playing);
    EXPECT_FALSE(sound->musicFinished());
    sound->sync({}, 1.0);
    EXPECT_TRUE(sound->musicFinished());
    EXPECT_FALSE(music->playing);
    EXPECT_EQ(sound->musicLevel(), 0.0F);
    sound->sync({}, 1.0);
    EXPECT_EQ(music->plays, 1) << "it does not come back by itself";

    sound->restartOpening();
    EXPECT_EQ(music->time, 0.0);
    sound->sync({}, 0.1);
    EXPECT_EQ(music->plays, 2);
    EXPECT_DOUBLE_EQ(sound->musicElapsed(), 0.1);
}

TEST_F(SceneSoundTest, AFailedMusicStartIsTriedAgainNextFrame)
{
    audio.musicStarts = false;
    auto sound = makeSound();
    sound->configure(true, 1.0F, false);
    sound->sync({}, 0.1);
    sound->sync({}, 0.1);
    FakePlayer* music = audio.music();
    EXPECT_FALSE(music->playing);
    EXPECT_EQ(music->plays, 0);
    EXPECT_FALSE(sound->musicFinished()) << "a start that failed is not the music's end";

    music->playSucceeds = true;
    sound->sync({}, 0.1);
    EXPECT_TRUE(music->playing);
    EXPECT_EQ(music->plays, 1);
    EXPECT_FALSE(sound->musicFinished());
}

TEST_F(SceneSoundTest, ShortMusicFileEndsAtItsOwnEnd)
{
    audio.musicDuration = 30.0;
    auto sound = makeSound();
    sound->configure(true, 1.0F, false);
    sound->sync({}, 29.0);
    EXPECT_FALSE(sound->musicFinished());
    sound->sync({}, 1.0);
    EXPECT_TRUE(sound->musicFinished());
}

TEST_F(SceneSoundTest, PauseSilencesAndTheNextAudibleFrameResumes)
{
    auto sound = makeSound();
    sound->configure(true, 1.0F, false);
    sound->sync(agesOf(SoundCue::ghost, 0.0), 0.1);
    FakePlayer* music = audio.music();
    ASSERT_TRUE(music->playing);

    sound->setPaused(true);
    EXPECT_FALSE(music->playing);
    EXPECT_FALSE(audio.cue(SoundCue::ghost)->playing);
    EXPECT_EQ(sound->musicLevel(), 0.0F);
    sound->sync(agesOf(SoundCue::ghost, 0.1), 5.0);
    EXPECT_DOUBLE_EQ(sound->musicElapsed(), 0.1) << "paused time is not music time";

    sound->setPaused(false);
    sound->sync({}, 0.1);
    EXPECT_TRUE(music->playing);
    EXPECT_EQ(music->plays, 2);

    sound->allowOutput(false);
    EXPECT_FALSE(music->playing);
    sound->sync(agesOf(SoundCue::thunder, 0.0), 0.1);
    EXPECT_EQ(audio.cue(SoundCue::thunder)->plays, 0);
}

TEST_F(SceneSoundTest, LoadFailureIsReportedOnceAndSilencesTheScene)
{
    audio.broken = {"hand.wav"};
    auto sound = makeSound();
    sound->configure(true, 1.0F, false);
    sound->sync(agesOf(SoundCue::thunder, 0.0), 0.1);
    ASSERT_TRUE(sound->loadError().has_value());
    EXPECT_EQ(*sound->loadError(), "Sound unavailable: cannot play hand.wav: no such file");
    EXPECT_EQ(audio.opened.size(), 4U) << "players made before the failure stay, loading stops";
    EXPECT_EQ(audio.cue(SoundCue::thunder)->plays, 0);
    EXPECT_EQ(sound->music(), nullptr);

    audio.broken.clear();
    sound->sync(agesOf(SoundCue::thunder, 0.0), 0.1);
    EXPECT_EQ(audio.opened.size(), 4U) << "loading is not tried again";
}

TEST_F(SceneSoundTest, StopIsFinal)
{
    auto sound = makeSound();
    sound->configure(true, 1.0F, false);
    sound->sync({}, 0.1);
    sound->stop();
    EXPECT_EQ(sound->music(), nullptr);
    EXPECT_EQ(sound->player(SoundCue::thunder), nullptr);
    sound->configure(true, 0.3F, false);
    EXPECT_FLOAT_EQ(sound->volume(), 1.0F);
    sound->sync(agesOf(SoundCue::thunder, 0.0), 0.1);
    EXPECT_EQ(audio.opened.size(), 11U);
    sound->stop();
}

namespace {

TEST_F(SceneSoundTest, FilesAreDecodedInTheBackgroundAndTheMusicStartsOnTheFrameTheyArrive)
{
    HeldJobs held;
    auto sound = std::make_unique<SceneSound>(SoundMode::app, "/res", audio.factory(), held.background());
    EXPECT_FALSE(sound->waitingForFiles()) << "silent: nothing is wanted";
    sound->configure(true, 1.0F, false);
    EXPECT_TRUE(sound->waitingForFiles()) << "wanted, not yet asked for";

    sound->sync(agesOf(SoundCue::titleThunder, -0.5), 0.1);
    EXPECT_EQ(held.jobs.size(), 2U) << "the cues and the music, apart";
    EXPECT_TRUE(audio.opened.empty()) << "nothing opened on the frame's thread";
    sound->sync(agesOf(SoundCue::titleThunder, -0.4), 0.1);
    EXPECT_TRUE(sound->waitingForFiles());
    EXPECT_EQ(sound->musicElapsed(), 0.0) << "music time waits for the music";
    EXPECT_EQ(held.jobs.size(), 2U) << "asked for once";

    held.runAll();
    ASSERT_EQ(audio.opened.size(), 11U);
    EXPECT_TRUE(sound->waitingForFiles()) << "taken in by the next frame, not behind its back";
    sound->sync(agesOf(SoundCue::titleThunder, -0.3), 0.1);
    EXPECT_FALSE(sound->waitingForFiles());
    EXPECT_TRUE(audio.music()->playing) << "on the frame the files arrive";
    EXPECT_EQ(audio.music()->loops, 0);
    EXPECT_TRUE(audio.cue(SoundCue::titleThunder)->prepared);
    EXPECT_DOUBLE_EQ(sound->musicElapsed(), 0.1);

    sound->sync(agesOf(SoundCue::titleThunder, 0.05), 0.1);
    EXPECT_EQ(audio.cue(SoundCue::titleThunder)->plays, 1) << "cues start as ever once the files are in";
}

TEST_F(SceneSoundTest, AFailureInTheBackgroundIsReportedWhenTakenIn)
{
    audio.broken = {"orlenz.m4a"};
    HeldJobs held;
    auto sound = std::make_unique<SceneSound>(SoundMode::app, "/res", audio.factory(), held.background());
    sound->configure(true, 1.0F, false);
    sound->sync({}, 0.1);
    held.runAll();
    sound->sync({}, 0.1);
    ASSERT_TRUE(sound->loadError().has_value());
    EXPECT_EQ(*sound->loadError(), "Sound unavailable: cannot play orlenz.m4a: no such file");
    EXPECT_FALSE(sound->waitingForFiles()) << "a failure waits for nothing more";
    EXPECT_EQ(sound->music(), nullptr);
    EXPECT_NE(sound->player(SoundCue::bats), nullptr) << "the cues made stay";
}

TEST_F(SceneSoundTest, WaitUntilLoadedTakesTheFilesInFromTheWorkerPool)
{
    std::atomic<int> opened{0};
    auto sound = std::make_unique<SceneSound>(
        SoundMode::app, "/res",
        [&opened](const fs::path& file) -> std::unique_ptr<platform::AudioPlayer> {
            opened += 1;
            return std::make_unique<FakePlayer>(file.filename() == "orlenz.m4a" ? 120.0 : 2.0);
        },
        SceneSound::workerPool());
    sound->configure(true, 1.0F, false);
    sound->waitUntilLoaded();
    EXPECT_EQ(opened.load(), 11);
    EXPECT_TRUE(sound->loaded());
    EXPECT_FALSE(sound->waitingForFiles());
    ASSERT_NE(sound->music(), nullptr);
    sound->sync({}, 0.1);
    EXPECT_TRUE(sound->music()->isPlaying());
}

TEST_F(SceneSoundTest, StoppingWhileDecodingDropsWhatArrivesLater)
{
    HeldJobs held;
    auto sound = std::make_unique<SceneSound>(SoundMode::app, "/res", audio.factory(), held.background());
    sound->configure(true, 1.0F, false);
    sound->sync({}, 0.1);
    sound->stop();
    held.runAll(); // the jobs end after their owner stopped
    sound->sync({}, 0.1);
    EXPECT_EQ(sound->music(), nullptr);
    EXPECT_EQ(sound->player(SoundCue::thunder), nullptr);
    EXPECT_FALSE(sound->waitingForFiles());
}

} // namespace
