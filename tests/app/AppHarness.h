#pragma once

// The app on the offscreen platform with a scene view whose frames the test
// presents itself, on a headless GPU context and a clock it controls.

#include "app/GhostApp.h"
#include "app/GhostWindow.h"
#include "app/SleepSource.h"
#include "app/VehiclePicker.h"
#include "engine/post/GhostBloom.h"
#include "engine/prefs/GloamyardPreferences.h"
#include "engine/scene/GhostView.h"
#include "engine/scene/HeadlessSceneDriver.h"
#include "platform/audio/AudioError.h"
#include "tests/engine_scene/SceneFixture.h"
#include "tests/support/EventLoop.h"

#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace gloam::testing {

class AppHarness {
public:
    struct Options {
        // Empty: a small scene of its own (see SceneFixture.h).
        std::filesystem::path resources;
        // The small scene's prop targets.
        std::string targets = defaultTargets();
        // Stores the app's volume; empty: the app's own.
        std::function<void(float)> storeVolume;
        // Whether SIGTERM, SIGINT and SIGHUP quit the app.
        bool quitOnSignals = false;
    };

    AppHarness()
        : AppHarness(Options{})
    {}
    explicit AppHarness(Options options)
        : ownResources_(options.resources.empty())
        , resources_(ownResources_ ? makeSceneResources(options.targets) : options.resources)
    {
        sceneDriver(); // the GPU device exists before the scene prepares its post-process
        app::GhostApp::Environment environment;
        environment.view.resources = resources_;
        environment.view.uptime = [this] { return now_; };
        environment.view.eggSeed = 1;
        environment.view.log = [this](const std::string& line, bool) { log.push_back(line); };
        environment.view.audioPlayers =
            [](const std::filesystem::path& file) -> std::unique_ptr<platform::AudioPlayer> {
            throw platform::AudioError("no sound device for " + file.filename().string());
        };
        environment.drawScene = false;
        environment.systemSleepSources = false;
        environment.openUrl = [this](const QUrl& url) {
            opened.push_back(url);
            return opensFiles;
        };
        environment.opensPlainText = [this] { return desktopOpensText; };
        environment.storeVolume = options.storeVolume;
        environment.quitOnSignals = options.quitOnSignals;
        environment.terminate = [this] { ++terminations; };
        app = std::make_unique<app::GhostApp>(std::move(environment));
    }
    ~AppHarness()
    {
        app.reset();
        settleTasks(); // the scene's load, if it was still going
        if (ownResources_) {
            std::filesystem::remove_all(resources_);
        }
    }
    AppHarness(const AppHarness&) = delete;
    AppHarness& operator=(const AppHarness&) = delete;

    void launch() { app->applicationDidFinishLaunching(); }

    GhostView& scene() const { return *app->scene(); }
    app::GhostWindow& window() const { return *app->window(); }

    // One presented frame after `step` seconds.
    void frame(double step = 1.0 / 64)
    {
        now_ += step;
        sceneDriver().present(scene(), step);
    }
    void frames(int count, double step = 1.0 / 64)
    {
        for (int i = 0; i < count; ++i) {
            frame(step);
        }
    }
    void waitUntilReady()
    {
        ASSERT_TRUE(runEventsUntil([this] { return scene().isReady() || scene().isStopped(); }, 30.0));
        ASSERT_TRUE(scene().isReady()) << (log.empty() ? std::string("no log") : log.back());
    }
    // Loaded, warmed and past the opening.
    void runScene()
    {
        waitUntilReady();
        frames(GhostBloom::warmupFrames + 1);
        scene().skipOpening();
        ASSERT_FALSE(scene().openingPlaying());
    }
    // Runs the event loop until no vehicle change is under way.
    void finishSwitch()
    {
        ASSERT_TRUE(runEventsUntil([this] { return !app->switchingVehicle(); }, 30.0));
    }

    const std::filesystem::path& resources() const { return resources_; }

    std::unique_ptr<app::GhostApp> app;
    std::vector<std::string> log;
    std::vector<QUrl> opened;
    bool opensFiles = true;
    // Whether the desktop has an application for plain text.
    bool desktopOpensText = true;
    int terminations = 0;

private:
    bool ownResources_;
    std::filesystem::path resources_;
    double now_ = 1000.0;
};

// The shared settings file, emptied before each test.
inline void clearStoredChoices()
{
    std::filesystem::remove(GloamyardPreferences::sharedStoreFile(GloamyardPreferences::configDirectory()));
    std::filesystem::remove(GloamyardPreferences::legacyModuleFile(GloamyardPreferences::configDirectory()));
}

} // namespace gloam::testing
