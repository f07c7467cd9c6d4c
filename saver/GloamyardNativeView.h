#pragma once

#include "saver/SaverGeometry.h"
#include "saver/SaverNotifications.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace gloam::saver {

class SaverScene;
class SaverServices;
class SaverTimer;
class SaverWindow;

// The screen saver's view: the host places one on each monitor (and one in
// the settings program's preview). It hosts at most one scene view at a
// time and decides when that scene exists, when it is torn down and whether
// it may make sound. It draws nothing itself.
//
// The host may make several views for one monitor over a session and may
// send start and stop calls out of step with the real session, so the view
// also follows the session and sleep notifications, keeps a process-wide
// registry of which view owns each monitor, and hands a running scene over
// to the newest view on a monitor instead of building a second one.
//
// Main thread only. Always owned through a shared pointer (see `make`):
// timers and observers hold it weakly.
class GloamyardNativeView : public std::enable_shared_from_this<GloamyardNativeView> {
public:
    // The settle delay between the last trigger and the scene's creation.
    static constexpr double settleDelay = 0.2;
    // How often the sound decision is made again while a scene exists.
    static constexpr double audioInterval = 1.0;
    static constexpr const char* activityReason = "Render the visible Gloamyard screensaver";

    // `services` must outlive the view.
    static std::shared_ptr<GloamyardNativeView> make(SaverServices& services, SaverSize frame, bool isPreview);
    ~GloamyardNativeView();
    GloamyardNativeView(const GloamyardNativeView&) = delete;
    GloamyardNativeView& operator=(const GloamyardNativeView&) = delete;

    // The host's calls.
    void startAnimation();
    void stopAnimation();
    // The view was put into `window`, or taken out of its window (null).
    void moveToWindow(std::shared_ptr<SaverWindow> window);
    // The host gave the view a new frame; its bounds take the same size
    // until the next layout normalises them.
    void setFrameSize(SaverSize size);
    void layout();

    // Idempotent teardown: the view stops wanting a scene and releases the
    // one it has. `reason` goes into the release record.
    void shutdown(const std::string& reason);
    // Another saver process took this view's monitor: the view stays inert
    // until it is taken out of its window.
    void replacedByAnotherProcess();

    // State, for the host and tests.
    const std::string& instance() const { return instance_; }
    bool isPreview() const { return isPreview_; }
    const std::shared_ptr<SaverScene>& scene() const { return scene_; }
    bool active() const { return active_; }
    bool ended() const { return ended_; }
    bool superseded() const { return superseded_; }
    bool displayAsleep() const { return displayAsleep_; }
    bool creationPending() const { return startTask_ != nullptr; }
    bool holdsActivity() const { return activity_ != nullptr; }
    std::optional<bool> lastAudioAllowed() const { return lastAudioAllowed_; }
    SaverSize frame() const { return frame_; }
    SaverSize bounds() const { return bounds_; }
    const std::shared_ptr<SaverWindow>& window() const { return window_; }

    // Shared by every view of the process.
    // Which view owns each monitor (weakly: a freed view drops out).
    static std::shared_ptr<GloamyardNativeView> owner(std::int64_t display);
    static bool hasSessionSignal() { return hasSessionSignal_; }
    // Forgets the registry and the session state, as a fresh process has
    // them (a host that starts over, and tests).
    static void resetSharedState();

private:
    GloamyardNativeView(SaverServices& services, SaverSize frame, bool isPreview);
    void observe();

    void activate();
    void scheduleScene();
    void makeScene();
    void normalizeBounds();
    void updateAudio();
    void sessionChanged(const std::string& name, bool started);
    void displayChanged(bool asleep);
    bool sessionActive();
    bool onFirstScreen() const;
    void removeSceneFromWindow();

    SaverServices& services_;
    const bool isPreview_;

    std::shared_ptr<SaverScene> scene_;
    bool active_ = false;
    std::unique_ptr<SaverTimer> startTask_;
    std::vector<SaverNotifications::Token> observers_;
    std::vector<SaverNotifications::Token> workspaceObservers_;
    bool displayAsleep_ = false;
    bool ended_ = false;
    bool superseded_ = false;
    std::optional<bool> lastAudioAllowed_;
    std::unique_ptr<SaverTimer> lifecycleTimer_;
    std::shared_ptr<void> activity_;
    const std::string instance_;

    std::shared_ptr<SaverWindow> window_;
    // The window the scene was added to, to take it out of again.
    std::shared_ptr<SaverWindow> sceneWindow_;
    SaverSize frame_;
    SaverSize bounds_;

    static std::map<std::int64_t, std::weak_ptr<GloamyardNativeView>> owners_;
    static bool hasSessionSignal_;
    static std::optional<bool> sessionActive_;
};

} // namespace gloam::saver
