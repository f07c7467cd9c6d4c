#pragma once

// A host for saver views with no X server and no GL: the test moves a
// clock, feeds the host's events and reads back what the views did.

#include "saver/SaverScene.h"
#include "saver/SaverServices.h"
#include "saver/SaverTimer.h"
#include "saver/SaverWindow.h"

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace gloam::saver::testing {

// Timers on a clock that moves only when the test says so.
class FakeClock {
public:
    struct Entry {
        double due = 0;
        double interval = 0;
        bool repeats = false;
        bool cancelled = false;
        std::function<void()> action;
    };

    class Timer : public SaverTimer {
    public:
        explicit Timer(std::shared_ptr<Entry> entry)
            : entry_(std::move(entry))
        {}
        ~Timer() override { cancel(); }
        void cancel() override { entry_->cancelled = true; }

    private:
        std::shared_ptr<Entry> entry_;
    };

    std::unique_ptr<SaverTimer> schedule(double seconds, bool repeats, std::function<void()> action)
    {
        auto entry = std::make_shared<Entry>();
        entry->due = now_ + seconds;
        entry->interval = seconds;
        entry->repeats = repeats;
        entry->action = std::move(action);
        entries_.push_back(entry);
        return std::make_unique<Timer>(entry);
    }

    // Moves the clock, firing every due timer in time order.
    void advance(double seconds)
    {
        const double end = now_ + seconds;
        for (;;) {
            std::erase_if(entries_, [](const auto& entry) { return entry->cancelled; });
            auto next = std::min_element(entries_.begin(), entries_.end(),
                                         [](const auto& a, const auto& b) { return a->due < b->due; });
            if (next == entries_.end() || (*next)->due > end + 1e-9) {
                break;
            }
            std::shared_ptr<Entry> entry = *next;
            now_ = std::max(now_, entry->due);
            if (entry->repeats) {
                entry->due += entry->interval;
            } else {
                entry->cancelled = true;
            }
            const auto action = entry->action;
            action();
        }
        now_ = end;
    }

    std::size_t pending() const
    {
        return static_cast<std::size_t>(
            std::count_if(entries_.begin(), entries_.end(), [](const auto& entry) { return !entry->cancelled; }));
    }

private:
    double now_ = 0;
    std::vector<std::shared_ptr<Entry>> entries_;
};

class FakeScene : public SaverScene {
public:
    explicit FakeScene(Vehicle made, SaverSize size)
        : vehicle_(made)
        , frame(size)
    {}

    Vehicle vehicle() const override { return vehicle_; }
    int updateCount() const override { return updates; }
    void setFrame(SaverSize size) override { frame = size; }
    void setOnReady(std::function<void()> callback) override { onReady = std::move(callback); }
    void refreshSoundPreferences() override { ++refreshes; }
    void allowSoundOutput(bool allowed) override { soundAllowed.push_back(allowed); }
    void startOpening() override { ++openings; }
    void stop() override { ++stops; }

    Vehicle vehicle_;
    SaverSize frame;
    std::function<void()> onReady;
    int updates = 0;
    int refreshes = 0;
    int openings = 0;
    int stops = 0;
    std::vector<bool> soundAllowed;
};

class FakeWindow : public SaverWindow {
public:
    explicit FakeWindow(std::optional<SaverScreen> screenNow)
        : onScreen(std::move(screenNow))
    {}

    std::optional<SaverScreen> screen() const override { return onScreen; }
    void addScene(const std::shared_ptr<SaverScene>& scene) override { shown.push_back(scene.get()); }
    void removeScene(const SaverScene& scene) override { std::erase(shown, &scene); }

    std::optional<SaverScreen> onScreen;
    std::vector<const SaverScene*> shown;
};

class FakeServices : public SaverServices {
public:
    std::unique_ptr<SaverTimer> schedule(double seconds, bool repeats, std::function<void()> action) override
    {
        return clock.schedule(seconds, repeats, std::move(action));
    }
    std::shared_ptr<SaverScene> makeScene(SaverSize frame, Vehicle made) override
    {
        auto scene = std::make_shared<FakeScene>(made, frame);
        scenes.push_back(scene);
        return scene;
    }
    Vehicle storedVehicle() override { return vehicle; }
    bool screenSaverRunning() override
    {
        ++runningQueries;
        return running;
    }
    std::optional<SaverScreen> firstScreen() override { return first; }
    std::shared_ptr<void> beginActivity(const std::string& reason) override
    {
        activityReasons.push_back(reason);
        auto token = std::make_shared<int>(0);
        activities.push_back(token);
        return token;
    }
    void record(const std::function<std::string()>& message) override { records.push_back(message()); }

    int heldActivities() const
    {
        return static_cast<int>(
            std::count_if(activities.begin(), activities.end(), [](const auto& token) { return !token.expired(); }));
    }
    // Records that begin with `prefix`.
    std::vector<std::string> recordsStartingWith(const std::string& prefix) const
    {
        std::vector<std::string> found;
        for (const auto& line : records) {
            if (line.rfind(prefix, 0) == 0) {
                found.push_back(line);
            }
        }
        return found;
    }

    FakeClock clock;
    Vehicle vehicle = Vehicle::corsel;
    bool running = true;
    int runningQueries = 0;
    std::optional<SaverScreen> first = SaverScreen{1, {1512, 982}, 2.0};
    std::vector<std::shared_ptr<FakeScene>> scenes;
    std::vector<std::string> activityReasons;
    std::vector<std::weak_ptr<void>> activities;
    std::vector<std::string> records;
};

} // namespace gloam::saver::testing
