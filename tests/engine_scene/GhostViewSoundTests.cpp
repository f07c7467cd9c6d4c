// The opening begins with its music: while the sound files are still being
// decoded it waits at its start, and it begins on the frame after the one
// that starts the music.
#include "engine/effects/OpeningSequence.h"
#include "engine/prefs/GloamyardPreferences.h"
#include "engine/prefs/SoundPreference.h"
#include "engine/scene/GhostView.h"
#include "tests/engine_scene/SceneFixture.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>

using namespace gloam;
namespace fs = std::filesystem;

namespace {

class SilentPlayer final : public platform::AudioPlayer {
public:
    explicit SilentPlayer(double duration)
        : duration_(duration)
    {}
    void prepareToPlay() override {}
    bool play() override
    {
        playing_ = true;
        return true;
    }
    void pause() override { playing_ = false; }
    void stop() override { playing_ = false; }
    bool isPlaying() const override { return playing_; }
    double currentTime() const override { return 0.0; }
    void setCurrentTime(double) override {}
    double duration() const override { return duration_; }
    float volume() const override { return volume_; }
    void setVolume(float volume) override { volume_ = volume; }
    void setNumberOfLoops(int) override {}

private:
    double duration_;
    bool playing_ = false;
    float volume_ = 1.0F;
};

// Decoding that takes as long as the test says: every file waits for open().
struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;

    void release()
    {
        const std::lock_guard lock(mutex);
        open = true;
        opened.notify_all();
    }
    platform::AudioPlayerFactory factory()
    {
        return [this](const fs::path& file) -> std::unique_ptr<platform::AudioPlayer> {
            std::unique_lock lock(mutex);
            opened.wait(lock, [this] { return open; });
            return std::make_unique<SilentPlayer>(file.filename() == "orlenz.m4a" ? 120.0 : 3.0);
        };
    }
};

TEST(GhostViewSoundTest, TheOpeningWaitsAtItsStartForItsMusic)
{
    fs::remove(GloamyardPreferences::sharedStoreFile(GloamyardPreferences::configDirectory()));
    SoundPreference::save(SoundMode::app, true, 1.0F);
    const fs::path resources = gloam::testing::makeSceneResources(gloam::testing::defaultTargets());
    double now = 1000.0;
    std::vector<std::string> log;
    Gate gate;
    {
        gloam::testing::sceneDriver();
        GhostView::Environment environment;
        environment.resources = resources;
        environment.uptime = [&now] { return now; };
        environment.eggSeed = 1;
        environment.log = [&log](const std::string& line, bool) { log.push_back(line); };
        environment.audioPlayers = gate.factory();
        auto view = GhostView::make({0, 0, 320, 144}, true, Vehicle::corsel, std::nullopt, environment);
        const auto tick = [&](double step) {
            now += step;
            view->render().scene().update(step);
        };

        for (int i = 0; i < 20; ++i) {
            tick(0.05);
        }
        EXPECT_EQ(view->opening()->time(), 0.0) << "a second of decoding: the opening has not begun";
        EXPECT_TRUE(view->sound().waitingForFiles());
        EXPECT_EQ(view->sound().music(), nullptr);
        EXPECT_FALSE(view->statusLabel().text == "Preparing the scene\u2026" && !view->statusLabel().hidden)
            << "waiting for the music is not waiting for the scene";

        gate.release();
        ASSERT_TRUE(gloam::testing::runEventsUntil(
            [&] {
                tick(0.05);
                return view->sound().music() != nullptr;
            },
            10.0));
        EXPECT_TRUE(view->sound().music()->isPlaying()) << "the music starts on the frame the files arrive";
        EXPECT_EQ(view->opening()->time(), 0.0) << "and the opening has not moved yet";
        tick(0.05);
        EXPECT_NEAR(view->opening()->time(), 0.05, 1e-9) << "both run from here";
        EXPECT_TRUE(view->sound().music()->isPlaying());
        view->stop();
    }
    gloam::testing::settleTasks();
    fs::remove_all(resources);
    fs::remove(GloamyardPreferences::sharedStoreFile(GloamyardPreferences::configDirectory()));
}

TEST(GhostViewSoundTest, AnOpeningWithoutSoundDoesNotWait)
{
    fs::remove(GloamyardPreferences::sharedStoreFile(GloamyardPreferences::configDirectory()));
    const fs::path resources = gloam::testing::makeSceneResources(gloam::testing::defaultTargets());
    double now = 1000.0;
    std::vector<std::string> log;
    {
        auto view = gloam::testing::makeTestView(resources, true, now, log);
        for (int i = 0; i < 3; ++i) {
            now += 0.05;
            view->render().scene().update(0.05);
        }
        EXPECT_FALSE(view->sound().waitingForFiles());
        EXPECT_NEAR(view->opening()->time(), 0.1, 1e-9) << "the first frame has no step; then it runs";
        view->stop();
    }
    gloam::testing::settleTasks();
    fs::remove_all(resources);
}

} // namespace
