#pragma once

#include "app/WindowVisibility.h"
#include "engine/prefs/Vehicle.h"
#include "engine/scene/GhostView.h"
#include "platform/async/Task.h"
#include "platform/async/TaskHandle.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QCheckBox;
class QPushButton;
class QSlider;

namespace gloam::platform {
class SignalPipe;
}

namespace gloam::app {

class GhostWindow;
class SleepSource;
class VehiclePicker;
class VolumeSaver;

// The interactive app: builds the menu, the window with its sound bar and
// control row, and one interactive scene view with the app's sound, and
// keeps the controls in step with the scene. It holds the scene still while
// the window is minimised or hidden or the machine or its displays sleep,
// follows a vehicle chosen in the screen saver's options when the app
// becomes active, and quits when its window closes.
class GhostApp : public QObject {
    Q_OBJECT
public:
    // What the app depends on beyond the desktop; the defaults are the real
    // ones. Tests pass their own.
    struct Environment {
        // Resource folder, clock, audio and log of the scene view.
        GhostView::Environment view;
        // Whether the window draws the scene. Without drawing the scene is
        // made at launch and whoever runs the app presents its frames.
        bool drawScene = true;
        // Whether to listen to logind and DPMS (tests feed their own
        // sources through `addSleepSource`).
        bool systemSleepSources = true;
        // Opens a file with the desktop's default application; whether it
        // could. Empty means QDesktopServices.
        std::function<bool(const QUrl&)> openUrl;
        // Whether the desktop has an application for plain text: opening a
        // file "succeeds" once the desktop's opener starts, whether or not
        // anything can show it. Empty means DefaultApplication.
        std::function<bool()> opensPlainText;
        // Stores the app's volume (on a thread of the app's own). Empty
        // means SoundPreference::saveVolume.
        std::function<void(float)> storeVolume;
        // Ends the application. Empty means QCoreApplication::quit.
        std::function<void()> terminate;
        // Whether SIGTERM, SIGINT and SIGHUP end the app as Quit does, and
        // how long after the first of them a stuck main loop is given
        // before the process ends anyway (none: no limit).
        bool quitOnSignals = false;
        std::optional<std::chrono::milliseconds> stuckQuitLimit;
        // Prints to standard error how long the launch took to the first
        // frame of the scene and to the scene being ready.
        bool reportLaunchTimes = false;
    };

    explicit GhostApp(Environment environment);
    ~GhostApp() override;
    GhostApp(const GhostApp&) = delete;
    GhostApp& operator=(const GhostApp&) = delete;

    // Application lifecycle.
    void applicationDidFinishLaunching();
    void applicationDidBecomeActive();
    void applicationWillTerminate();
    void windowWillClose();

    // Actions of the menu and the controls.
    void selectVehicle(int index);
    void setAutomatic(bool on);
    void flashNow();
    void pumpkinsNow();
    void ghostNow();
    void witchNow();
    void handNow();
    void skyrellNow();
    void chargerNow();
    void openingAction();
    void replayOpening();
    void skipOpening();
    void toggleSound();
    void changeVolume();
    void showHelp();
    void showCredits();
    void showAbout();
    // The "Reduce flashing" item: stores the choice and applies it to the scene.
    void setReduceFlashing(bool on);
    // Quit: closes the window, which ends the app.
    void quit();
    // Whether a menu item may be chosen now.
    bool validateMenuItem(const QAction* item) const;

    void refreshSceneControls();
    void refreshSoundControls();

    // A source of sleep and wake events; the app owns it from now on.
    void addSleepSource(std::unique_ptr<SleepSource> source);

    // For the app's owner and tests.
    GhostWindow* window() const { return window_.get(); }
    const std::shared_ptr<GhostView>& scene() const { return scene_; }
    VehiclePicker* picker() const { return picker_; }
    QPushButton* effectsButton() const { return effectsButton_; }
    QPushButton* openingButton() const { return openingButton_; }
    QCheckBox* automaticButton() const { return automaticButton_; }
    QPushButton* soundButton() const { return soundButton_; }
    QSlider* soundVolume() const { return soundVolume_; }
    WindowVisibility& windowVisibility() { return visibility_; }
    bool displayAsleep() const { return displayAsleep_; }
    VolumeSaver& volumeSaver() { return *volumeSaver_; }
    bool switchingVehicle() const { return selectionTask_.has_value(); }
    const std::filesystem::path& resources() const { return resources_; }

    // The help text's five paragraphs, separated by blank lines.
    static QString helpText();

    // Rendering could not start: the reason, once. Empty: a message and
    // the end of the application.
    std::function<void(const std::string&)> onRenderFailure;

private:
    void buildMenu();
    void buildControls();
    void createScene();
    void applyPauseRule();
    void buildFocusChain();
    void storeVolumeNow();
    void switchVehicle(Vehicle vehicle);
    void finishVehicleChange();
    void cancelVehicleChange();
    static async::Task<void> changeVehicle(QPointer<GhostApp> app, std::weak_ptr<GhostView> scene, Vehicle vehicle);
    bool sceneCanTakeCommands() const;
    void openingPlayingGuard(void (GhostView::*trigger)());
    QString vehicleTitle(Vehicle vehicle) const;

    Environment environment_;
    std::filesystem::path resources_;

    // In the order the app's state is described.
    std::unique_ptr<GhostWindow> window_;
    std::shared_ptr<GhostView> scene_;
    WindowVisibility visibility_;
    VehiclePicker* picker_ = nullptr;
    std::optional<async::TaskHandle> selectionTask_;
    QPushButton* effectsButton_ = nullptr;
    QPushButton* openingButton_ = nullptr;
    QCheckBox* automaticButton_ = nullptr;
    QPushButton* soundButton_ = nullptr;
    QSlider* soundVolume_ = nullptr;
    // Each source with what it last said: asleep or not.
    std::vector<std::pair<std::unique_ptr<SleepSource>, bool>> sleepSources_;
    bool displayAsleep_ = false;
    std::unique_ptr<VolumeSaver> volumeSaver_;
    std::unique_ptr<platform::SignalPipe> signals_;
    // The picker had the focus when the running vehicle change began.
    bool pickerFocusedForChange_ = false;
    bool launched_ = false;
    QElapsedTimer launchClock_;
};

} // namespace gloam::app
