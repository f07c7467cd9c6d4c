#include "saver/GloamyardNativeView.h"

#include "engine/prefs/Vehicle.h"
#include "saver/SaverScene.h"
#include "saver/SaverServices.h"
#include "saver/SaverTimer.h"
#include "saver/SaverWindow.h"

#include <QUuid>

#include <algorithm>

namespace gloam::saver {

std::map<std::int64_t, std::weak_ptr<GloamyardNativeView>> GloamyardNativeView::owners_;
bool GloamyardNativeView::hasSessionSignal_ = false;
std::optional<bool> GloamyardNativeView::sessionActive_;

namespace {

const char* text(bool value)
{
    return value ? "true" : "false";
}

std::string newInstance()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toStdString();
}

} // namespace

GloamyardNativeView::GloamyardNativeView(SaverServices& services, SaverSize frame, bool isPreview)
    : services_(services)
    , isPreview_(isPreview)
    , instance_(newInstance())
    , frame_(frame)
    , bounds_(frame)
{}

std::shared_ptr<GloamyardNativeView> GloamyardNativeView::make(SaverServices& services, SaverSize frame, bool isPreview)
{
    std::shared_ptr<GloamyardNativeView> view(new GloamyardNativeView(services, frame, isPreview));
    view->observe();
    return view;
}

void GloamyardNativeView::observe()
{
    std::weak_ptr<GloamyardNativeView> weak = weak_from_this();
    SaverNotifications& centre = services_.notifications();
    observers_.push_back(centre.observeSession([weak](const std::string& name, bool started) {
        if (auto view = weak.lock()) {
            view->sessionChanged(name, started);
        }
    }));
    workspaceObservers_.push_back(centre.observeDisplay([weak](bool asleep) {
        if (auto view = weak.lock()) {
            view->displayChanged(asleep);
        }
    }));
}

GloamyardNativeView::~GloamyardNativeView()
{
    shutdown("view deinit");
    SaverNotifications& centre = services_.notifications();
    for (const auto token : observers_) {
        centre.remove(token);
    }
    for (const auto token : workspaceObservers_) {
        centre.remove(token);
    }
    // Drop this view's slot now rather than leaving an expired entry.
    std::erase_if(owners_, [](const auto& entry) { return entry.second.expired(); });
    services_.record([this] { return "native view deinit id=" + instance_; });
}

std::shared_ptr<GloamyardNativeView> GloamyardNativeView::owner(std::int64_t display)
{
    const auto found = owners_.find(display);
    return found == owners_.end() ? nullptr : found->second.lock();
}

void GloamyardNativeView::resetSharedState()
{
    owners_.clear();
    hasSessionSignal_ = false;
    sessionActive_.reset();
}

bool GloamyardNativeView::sessionActive()
{
    if (!sessionActive_) {
        sessionActive_ = services_.screenSaverRunning();
    }
    return *sessionActive_;
}

void GloamyardNativeView::startAnimation()
{
    ended_ = false;
    if (scene_) {
        scene_->refreshSoundPreferences();
    }
    services_.record([this] { return "native start id=" + instance_; });
    activate();
    updateAudio();
}

void GloamyardNativeView::stopAnimation()
{
    shutdown("stopAnimation");
}

void GloamyardNativeView::moveToWindow(std::shared_ptr<SaverWindow> window)
{
    window_ = std::move(window);
    const bool attached = window_ != nullptr;
    services_.record(
        [this, attached] { return std::string("native window attached=") + text(attached) + " id=" + instance_; });
    if (attached) {
        activate();
    } else {
        shutdown("detached");
        // A detached view may own a monitor again later.
        superseded_ = false;
    }
}

void GloamyardNativeView::setFrameSize(SaverSize size)
{
    frame_ = size;
    bounds_ = size;
}

void GloamyardNativeView::layout()
{
    normalizeBounds();
    if (scene_) {
        scene_->setFrame(bounds_);
    }
    if (active_) {
        scheduleScene();
    }
}

void GloamyardNativeView::replacedByAnotherProcess()
{
    superseded_ = true;
    shutdown("replaced on display");
}

void GloamyardNativeView::activate()
{
    if (ended_ || displayAsleep_ || superseded_) {
        return;
    }
    active_ = true;
    scheduleScene();
}

void GloamyardNativeView::scheduleScene()
{
    if (!active_ || ended_ || displayAsleep_ || superseded_ || !window_ || !(bounds_.width > 0) ||
        !(bounds_.height > 0) || scene_ || startTask_) {
        return;
    }
    std::weak_ptr<GloamyardNativeView> weak = weak_from_this();
    startTask_ = services_.schedule(settleDelay, false, [weak] {
        if (auto view = weak.lock()) {
            // The timer is this call's own: drop it after the call returns.
            std::unique_ptr<SaverTimer> done = std::move(view->startTask_);
            view->makeScene();
        }
    });
}

void GloamyardNativeView::makeScene()
{
    if (!active_ || ended_ || displayAsleep_ || superseded_ || !window_ || scene_) {
        return;
    }
    const std::optional<SaverScreen> screen = window_->screen();
    if (!screen || !(bounds_.width > 0) || !(bounds_.height > 0)) {
        return;
    }
    normalizeBounds();
    const std::int64_t key = screen->number.value_or(0);

    std::shared_ptr<SaverScene> adopted;
    const std::shared_ptr<GloamyardNativeView> previous = owner(key);
    if (previous && previous.get() != this) {
        previous->superseded_ = true;
        if (previous->scene_ && previous->scene_->vehicle() == services_.storedVehicle()) {
            adopted = previous->scene_;
            previous->removeSceneFromWindow();
            previous->scene_.reset();
            services_.record([&] { return "native transfer from=" + previous->instance_ + " to=" + instance_; });
        }
        // With the scene adopted this finds none, and the scene keeps running.
        previous->shutdown("replaced on display");
    }
    owners_[key] = weak_from_this();

    activity_ = services_.beginActivity(activityReason);

    const Vehicle vehicle = services_.storedVehicle();
    services_.record([&] {
        return "native create id=" + instance_ + " vehicle=" + std::string(rawValue(vehicle)) +
               " frame=" + describe(frame_) + " bounds=" + describe(bounds_) + " screen=" + describe(screen->frame) +
               " scale=" + describeScale(screen->scale);
    });

    std::shared_ptr<SaverScene> scene = adopted ? adopted : services_.makeScene(bounds_, vehicle);
    scene->setFrame(bounds_);
    scene->refreshSoundPreferences();
    std::weak_ptr<GloamyardNativeView> weak = weak_from_this();
    scene->setOnReady([weak] {
        if (auto view = weak.lock()) {
            view->services_.record([&] { return "native scene ready id=" + view->instance_; });
        }
    });

    window_->addScene(scene);
    sceneWindow_ = window_;
    scene_ = std::move(scene);

    updateAudio();

    lifecycleTimer_ = services_.schedule(audioInterval, true, [weak] {
        if (auto view = weak.lock()) {
            view->updateAudio();
        }
    });
}

void GloamyardNativeView::normalizeBounds()
{
    if (!window_) {
        return;
    }
    const std::optional<SaverScreen> screen = window_->screen();
    if (!screen || !(frame_.width > 0) || !(frame_.height > 0)) {
        return;
    }
    const double width = std::min(screen->frame.width, frame_.width);
    const double height = width * frame_.height / frame_.width;
    if (bounds_.width != width || bounds_.height != height) {
        bounds_ = {width, height};
    }
}

bool GloamyardNativeView::onFirstScreen() const
{
    const std::optional<SaverScreen> mine = window_ ? window_->screen() : std::nullopt;
    const std::optional<SaverScreen> first = services_.firstScreen();
    if (!mine && !first) {
        return true;
    }
    if (!mine || !first) {
        return false;
    }
    return *mine == *first;
}

void GloamyardNativeView::updateAudio()
{
    const bool running = services_.screenSaverRunning();
    const bool allowed = active_ && !ended_ && !superseded_ && !displayAsleep_ && running && onFirstScreen();
    if (allowed && lastAudioAllowed_ != true && scene_) {
        // Sound settings may have changed since sound was last allowed.
        scene_->refreshSoundPreferences();
    }
    if (scene_) {
        scene_->allowSoundOutput(allowed);
    }
    if (lastAudioAllowed_ != allowed) {
        services_.record([&] { return std::string("native audio allowed=") + text(allowed) + " id=" + instance_; });
        lastAudioAllowed_ = allowed;
    }
}

void GloamyardNativeView::sessionChanged(const std::string& name, bool started)
{
    if (started) {
        const bool alreadyActive = hasSessionSignal_ && sessionActive();
        hasSessionSignal_ = true;
        sessionActive_ = true;
        if (!alreadyActive) {
            // Copied first: a restart must not see the registry change under it.
            const auto owners = owners_;
            for (const auto& entry : owners) {
                const auto view = entry.second.lock();
                if (!view || !view->scene_) {
                    continue;
                }
                view->scene_->refreshSoundPreferences();
                view->scene_->startOpening();
                services_.record([&] { return "native session opening restart id=" + view->instance_; });
            }
        }
        services_.record([&] { return "native session " + name + " id=" + instance_; });
        ended_ = false;
        activate();
        updateAudio();
    } else {
        hasSessionSignal_ = true;
        sessionActive_ = false;
        services_.record([&] { return "native session " + name + " id=" + instance_; });
        ended_ = true;
        shutdown("session stopped");
    }
}

void GloamyardNativeView::displayChanged(bool asleep)
{
    displayAsleep_ = asleep;
    if (asleep) {
        shutdown("display sleep");
    } else if (!ended_ && !superseded_) {
        active_ = true;
        scheduleScene();
    }
}

void GloamyardNativeView::removeSceneFromWindow()
{
    if (scene_ && sceneWindow_) {
        sceneWindow_->removeScene(*scene_);
    }
    sceneWindow_.reset();
}

void GloamyardNativeView::shutdown(const std::string& reason)
{
    active_ = false;
    if (startTask_) {
        startTask_->cancel();
        startTask_.reset();
    }
    if (lifecycleTimer_) {
        lifecycleTimer_->cancel();
        lifecycleTimer_.reset();
    }
    activity_.reset();
    if (!scene_) {
        return;
    }
    services_.record([&] {
        return "native release id=" + instance_ + " reason=" + reason +
               " updates=" + std::to_string(scene_->updateCount());
    });
    scene_->stop();
    removeSceneFromWindow();
    scene_.reset();
}

} // namespace gloam::saver
