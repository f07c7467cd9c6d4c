#include "app/GhostApp.h"

#include "app/AlertSheet.h"
#include "app/ControlRow.h"
#include "app/DefaultApplication.h"
#include "app/DpmsSleepSource.h"
#include "app/GhostWindow.h"
#include "app/LogindSleepSource.h"
#include "app/SceneHost.h"
#include "app/SleepSource.h"
#include "app/SoundBar.h"
#include "app/VehiclePicker.h"
#include "app/VolumeSaver.h"
#include "engine/prefs/FlashingPreference.h"
#include "engine/prefs/GloamyardPreferences.h"
#include "engine/prefs/SoundPreference.h"
#include "engine/prefs/VehiclePreference.h"
#include "engine/common/HalloweenResources.h"
#include "engine/sound/SceneSound.h"
#include "platform/async/CancellationError.h"
#include "platform/process/SignalPipe.h"
#include "resources/ResourceFiles.h"

#include <QAction>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDialog>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#ifndef GLOAMYARD_VERSION
#define GLOAMYARD_VERSION "0.0.0"
#endif

namespace gloam::app {

namespace {

const char* const appTitle = "Gloamyard";
const char* const soundTip = "App audio only. Enable screensaver audio separately in Screen Saver Options.";

QString fromStd(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The app's icon: the theme's when installed, else the forge's pictures
// in the resource folder.
QIcon appIcon(const std::filesystem::path& resources)
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const std::string side = std::to_string(size);
        const std::filesystem::path file =
            resources / "Icons" / "hicolor" / (side + "x" + side) / "apps" / "gloamyard.png";
        if (std::filesystem::exists(file)) {
            icon.addFile(QString::fromStdString(file.string()), QSize(size, size));
        }
    }
    return QIcon::fromTheme(QStringLiteral("gloamyard"), icon);
}

} // namespace

GhostApp::GhostApp(Environment environment)
    : environment_(std::move(environment))
    , resources_(environment_.view.resources.empty() ? halloweenResources() : environment_.view.resources)
{
    environment_.view.resources = resources_;
    if (!environment_.openUrl) {
        environment_.openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    }
    if (!environment_.terminate) {
        environment_.terminate = [] { QCoreApplication::quit(); };
    }
    if (!environment_.opensPlainText) {
        // Without xdg-mime the opener's own answer is all there is.
        environment_.opensPlainText = [] {
            const std::optional<QString> entry = DefaultApplication::forMimeType(QStringLiteral("text/plain"));
            return !entry || !entry->isEmpty();
        };
    }
    if (!environment_.storeVolume) {
        environment_.storeVolume = [](float volume) { SoundPreference::saveVolume(SoundMode::app, volume); };
    }
    volumeSaver_ = std::make_unique<VolumeSaver>(environment_.storeVolume);
    launchClock_.start();
}

GhostApp::~GhostApp()
{
    volumeSaver_->flush();
    if (selectionTask_) {
        selectionTask_->cancel();
    }
    if (scene_) {
        scene_->stop();
    }
    if (window_) {
        window_->onClose = nullptr;
        window_->sceneHost()->setScene(nullptr);
    }
}

QString GhostApp::vehicleTitle(Vehicle vehicle) const
{
    return fromStd(title(vehicle));
}

void GhostApp::applicationDidFinishLaunching()
{
    if (launched_) {
        return;
    }
    launched_ = true;
    GloamyardPreferences::migrateAppChoices();

    window_ = std::make_unique<GhostWindow>(environment_.drawScene);
    window_->setWindowIcon(appIcon(resources_));
    window_->onClose = [this] { windowWillClose(); };
    buildMenu();
    buildControls();

    SceneHost* host = window_->sceneHost();
    QPointer<GhostApp> weak(this);
    host->onFailure = [weak](const std::string& reason) {
        if (!weak) {
            return;
        }
        if (weak->onRenderFailure) {
            weak->onRenderFailure(reason);
            return;
        }
        QMessageBox::critical(
            weak->window_.get(), QString::fromLatin1(appTitle),
            QStringLiteral("Gloamyard cannot draw its scene: %1").arg(QString::fromStdString(reason)));
        QCoreApplication::exit(1);
    };
    if (environment_.reportLaunchTimes) {
        host->onFirstSceneFrame = [weak] {
            if (weak) {
                std::fprintf(stderr, "gloamyard: first frame after %.2f s\n",
                             static_cast<double>(weak->launchClock_.nsecsElapsed()) * 1e-9);
            }
        };
    }
    // The scene view prepares its post-process on the GPU, which the
    // window's renderer brings up with its first frame.
    if (environment_.drawScene) {
        host->onGpuReady = [weak] {
            if (weak) {
                weak->createScene();
            }
        };
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
    if (!environment_.drawScene) {
        createScene();
    }

    refreshSoundControls();
    refreshSceneControls();

    connect(&visibility_, &WindowVisibility::changed, this, &GhostApp::applyPauseRule);
    visibility_.watch(window_->windowHandle());
    if (environment_.systemSleepSources) {
        if (auto logind = LogindSleepSource::create()) {
            addSleepSource(std::move(logind));
        }
        if (auto dpms = DpmsSleepSource::create()) {
            addSleepSource(std::move(dpms));
        }
    }
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive) {
            applicationDidBecomeActive();
        }
    });
    connect(qGuiApp, &QCoreApplication::aboutToQuit, this, &GhostApp::applicationWillTerminate);
    if (environment_.quitOnSignals) {
        // A session ending (SIGTERM), Ctrl+C in a terminal (SIGINT) or the
        // terminal going (SIGHUP) quit as the menu does: the scene and its
        // music stop and the choices are stored. Should the main loop be
        // stuck, the process ends anyway a while after the first signal.
        signals_ = std::make_unique<platform::SignalPipe>(std::vector<int>{SIGTERM, SIGINT, SIGHUP});
        if (environment_.stuckQuitLimit) {
            signals_->endProcessAfter(*environment_.stuckQuitLimit, EXIT_FAILURE);
        }
        connect(signals_.get(), &platform::SignalPipe::received, this, &GhostApp::quit);
    }
    applyPauseRule();
}

void GhostApp::buildMenu()
{
    connect(window_->aboutItem(), &QAction::triggered, this, &GhostApp::showAbout);
    connect(window_->helpItem(), &QAction::triggered, this, &GhostApp::showHelp);
    connect(window_->creditsItem(), &QAction::triggered, this, &GhostApp::showCredits);
    window_->reduceFlashingItem()->setChecked(FlashingPreference::reduced());
    connect(window_->reduceFlashingItem(), &QAction::toggled, this, &GhostApp::setReduceFlashing);
    connect(window_->quitItem(), &QAction::triggered, this, &GhostApp::quit);
}

void GhostApp::quit()
{
    if (window_) {
        window_->close();
    }
}

void GhostApp::buildControls()
{
    ControlRow* row = window_->controls();
    picker_ = row->picker();
    automaticButton_ = row->automaticButton();
    effectsButton_ = row->effectsButton();
    openingButton_ = row->openingButton();
    soundButton_ = window_->soundBar()->soundButton();
    soundVolume_ = window_->soundBar()->soundVolume();

    connect(picker_, &VehiclePicker::chosen, this, &GhostApp::selectVehicle);
    connect(automaticButton_, &QCheckBox::toggled, this, &GhostApp::setAutomatic);
    using Effect = ControlRow::Effect;
    const std::pair<Effect, void (GhostApp::*)()> actions[] = {
        {Effect::lightning, &GhostApp::flashNow}, {Effect::pumpkins, &GhostApp::pumpkinsNow},
        {Effect::ghost, &GhostApp::ghostNow},     {Effect::witch, &GhostApp::witchNow},
        {Effect::hand, &GhostApp::handNow},       {Effect::skyrell, &GhostApp::skyrellNow},
        {Effect::amperle, &GhostApp::chargerNow},
    };
    for (const auto& [effect, action] : actions) {
        connect(row->effectItem(effect), &QAction::triggered, this, action);
    }
    // The items are enabled as the menu opens, as each one allows.
    QMenu* menu = row->effectsMenu();
    connect(menu, &QMenu::aboutToShow, this, [this, menu] {
        for (QAction* item : menu->actions()) {
            item->setEnabled(validateMenuItem(item));
        }
    });
    connect(openingButton_, &QPushButton::clicked, this, &GhostApp::openingAction);
    connect(soundButton_, &QPushButton::clicked, this, &GhostApp::toggleSound);
    connect(soundVolume_, &QSlider::valueChanged, this, &GhostApp::changeVolume);
    connect(soundVolume_, &QSlider::sliderReleased, this,
            [this] { volumeSaver_->dragEnded(window_->soundBar()->volume()); });
    soundVolume_->setEnabled(false);
    window_->soundBar()->showVolume(SoundPreference::volume(SoundMode::app));
    buildFocusChain();
}

void GhostApp::buildFocusChain()
{
    // From the scene along the control row, then the sound bar, and round
    // to the scene again; the window opens with the keys on the scene, where
    // Escape skips the opening.
    QWidget* const chain[] = {window_->sceneHost()->focusTarget(),
                              picker_,
                              automaticButton_,
                              effectsButton_,
                              openingButton_,
                              soundButton_,
                              soundVolume_};
    for (std::size_t i = 1; i < std::size(chain); ++i) {
        QWidget::setTabOrder(chain[i - 1], chain[i]);
    }
    chain[0]->setFocus(Qt::OtherFocusReason);
}

void GhostApp::createScene()
{
    if (scene_ || !window_) {
        return;
    }
    SceneHost* host = window_->sceneHost();
    scene_ = GhostView::make(host->sceneFrame(), true, VehiclePreference::selected(), std::nullopt, environment_.view);
    picker_->showChosen(static_cast<int>(scene_->vehicle()));
    QPointer<GhostApp> weak(this);
    const auto refresh = [weak] {
        if (weak) {
            weak->refreshSceneControls();
        }
    };
    scene_->onReady = [weak, refresh] {
        if (weak && weak->environment_.reportLaunchTimes) {
            std::fprintf(stderr, "gloamyard: ready after %.2f s\n",
                         static_cast<double>(weak->launchClock_.nsecsElapsed()) * 1e-9);
        }
        refresh();
    };
    scene_->onOpeningChanged = refresh;
    scene_->onEggChanged = [refresh](std::optional<EasterEgg>) { refresh(); };
    host->setScene(scene_);
    refreshSoundControls();
    refreshSceneControls();
    applyPauseRule();
}

void GhostApp::addSleepSource(std::unique_ptr<SleepSource> source)
{
    // Each source's last word counts on its own: a resume from suspend
    // (logind awake) does not wake displays that DPMS still has off.
    const SleepSource* raw = source.get();
    connect(raw, &SleepSource::sleepChanged, this, [this, raw](bool asleep) {
        bool any = false;
        for (auto& [each, eachAsleep] : sleepSources_) {
            if (each.get() == raw) {
                eachAsleep = asleep;
            }
            any = any || eachAsleep;
        }
        displayAsleep_ = any;
        applyPauseRule();
    });
    sleepSources_.emplace_back(std::move(source), false);
}

void GhostApp::applyPauseRule()
{
    if (!scene_) {
        return;
    }
    scene_->setPaused(displayAsleep_ || visibility_.hidden() || visibility_.minimized());
}

void GhostApp::refreshSceneControls()
{
    if (!scene_ || !window_) {
        return;
    }
    const bool playing = scene_->openingPlaying();
    const bool ready = scene_->isReady() && !selectionTask_;
    picker_->setEnabled(ready && !playing);
    automaticButton_->setEnabled(ready && !playing);
    effectsButton_->setEnabled(ready && !playing && !scene_->easterEggs().active);
    if (!scene_->isReady()) {
        openingButton_->setText(QStringLiteral("Loading scene\u2026"));
    } else {
        openingButton_->setText(playing ? QStringLiteral("Skip opening") : QStringLiteral("Replay opening"));
    }
    openingButton_->setEnabled(ready);
}

void GhostApp::refreshSoundControls()
{
    if (!window_) {
        return;
    }
    // Before the scene exists the stored choice is what the sound will be.
    const bool enabled = scene_ ? scene_->sound().enabled() : SoundPreference::enabled(SoundMode::app);
    const float volume = scene_ ? scene_->sound().volume() : SoundPreference::volume(SoundMode::app);
    soundButton_->setText(enabled ? QStringLiteral("Sound on \u00b7 Mute")
                                  : QStringLiteral("Sound off \u00b7 Turn on"));
    soundButton_->setToolTip(QString::fromUtf8(soundTip));
    soundVolume_->setEnabled(enabled);
    window_->soundBar()->showVolume(volume);
}

bool GhostApp::sceneCanTakeCommands() const
{
    return scene_ && scene_->isReady() && !selectionTask_ && !scene_->openingPlaying() && !scene_->easterEggs().active;
}

bool GhostApp::validateMenuItem(const QAction* item) const
{
    if (item == nullptr) {
        return false;
    }
    if (window_ &&
        (item == window_->helpItem() || item == window_->creditsItem() || item == window_->reduceFlashingItem())) {
        return true;
    }
    if (!sceneCanTakeCommands()) {
        return false;
    }
    const ControlRow* row = window_->controls();
    if (item == row->effectItem(ControlRow::Effect::ghost)) {
        return !scene_->visibleGraves().empty();
    }
    if (item == row->effectItem(ControlRow::Effect::witch)) {
        return scene_->characterVisible("MoonReaction");
    }
    if (item == row->effectItem(ControlRow::Effect::hand)) {
        return scene_->characterVisible("HandReaction");
    }
    return true;
}

void GhostApp::openingPlayingGuard(void (GhostView::*trigger)())
{
    if (!scene_ || scene_->openingPlaying()) {
        return;
    }
    ((*scene_).*trigger)();
}

void GhostApp::flashNow()
{
    openingPlayingGuard(&GhostView::triggerLightning);
}

void GhostApp::pumpkinsNow()
{
    openingPlayingGuard(&GhostView::triggerPumpkins);
}

void GhostApp::witchNow()
{
    openingPlayingGuard(&GhostView::triggerWitch);
}

void GhostApp::handNow()
{
    openingPlayingGuard(&GhostView::triggerHand);
}

void GhostApp::ghostNow()
{
    if (!scene_ || scene_->openingPlaying()) {
        return;
    }
    scene_->triggerGhost(std::nullopt);
}

void GhostApp::skyrellNow()
{
    if (scene_) {
        scene_->previewEgg(EasterEgg::skyrell);
    }
}

void GhostApp::chargerNow()
{
    if (scene_) {
        scene_->previewEgg(EasterEgg::amperle);
    }
}

void GhostApp::openingAction()
{
    if (!scene_) {
        return;
    }
    if (scene_->openingPlaying()) {
        scene_->skipOpening();
    } else {
        scene_->startOpening();
    }
}

void GhostApp::replayOpening()
{
    if (scene_) {
        scene_->startOpening();
    }
}

void GhostApp::skipOpening()
{
    if (scene_) {
        scene_->skipOpening();
    }
}

void GhostApp::setAutomatic(bool on)
{
    if (scene_) {
        scene_->setAutomatic(on);
    }
}

void GhostApp::toggleSound()
{
    // The switch stores the slider's value with it; anything the slider
    // still had to store is written first, so that it cannot land later.
    volumeSaver_->flush();
    const float volume = window_->soundBar()->volume();
    if (scene_) {
        scene_->sound().configure(!scene_->sound().enabled(), volume, true);
    } else {
        SoundPreference::save(SoundMode::app, !SoundPreference::enabled(SoundMode::app), volume);
    }
    refreshSoundControls();
}

void GhostApp::changeVolume()
{
    // Heard at once; stored when the slider settles (VolumeSaver).
    const float volume = window_->soundBar()->volume();
    if (scene_) {
        scene_->sound().configure(scene_->sound().enabled(), volume, false);
    }
    volumeSaver_->changed(volume, soundVolume_->isSliderDown());
}

void GhostApp::selectVehicle(int index)
{
    if (index < 0 || index >= static_cast<int>(allVehicles.size())) {
        return;
    }
    switchVehicle(allVehicles[static_cast<std::size_t>(index)]);
}

void GhostApp::switchVehicle(Vehicle vehicle)
{
    if (!scene_ || vehicle == scene_->vehicle()) {
        return;
    }
    pickerFocusedForChange_ = picker_->hasFocus();
    picker_->showChosen(static_cast<int>(vehicle));
    picker_->setEnabled(false);
    effectsButton_->setEnabled(false);
    openingButton_->setEnabled(false);
    window_->setWindowTitle(QStringLiteral("Gloamyard \u00b7 Loading %1\u2026").arg(vehicleTitle(vehicle)));
    selectionTask_ = async::spawn(changeVehicle(QPointer<GhostApp>(this), scene_, vehicle));
}

async::Task<void> GhostApp::changeVehicle(QPointer<GhostApp> app, std::weak_ptr<GhostView> weakScene, Vehicle vehicle)
{
    std::optional<std::string> failure;
    try {
        std::shared_ptr<GhostView> scene = weakScene.lock();
        if (!scene) {
            throw async::CancellationError();
        }
        co_await scene->changeVehicle(vehicle);
        VehiclePreference::setSelected(vehicle);
    } catch (const async::CancellationError&) {
        // Overtaken, or the window closed: nothing to say.
    } catch (const std::exception& error) {
        failure = error.what();
    }
    if (failure && app) {
        AlertSheet alert(app->window_->alertBox(),
                         QStringLiteral("Couldn\u2019t load %1").arg(app->vehicleTitle(vehicle)),
                         QStringLiteral("Your current vehicle is still selected. ") + QString::fromStdString(*failure));
        try {
            co_await alert;
        } catch (const async::CancellationError&) {
            // The window closed while the alert was up.
        }
    }
    if (app) {
        app->finishVehicleChange();
    }
}

void GhostApp::finishVehicleChange()
{
    if (scene_) {
        picker_->showChosen(static_cast<int>(scene_->vehicle()));
    }
    picker_->setEnabled(true);
    if (window_) {
        window_->setWindowTitle(QString::fromLatin1(appTitle));
    }
    selectionTask_.reset();
    refreshSceneControls();
    // The picker lost the focus while it was disabled: a keyboard user
    // carries on from where they chose.
    if (pickerFocusedForChange_ && picker_->isEnabled()) {
        picker_->setFocus(Qt::OtherFocusReason);
    }
    pickerFocusedForChange_ = false;
}

void GhostApp::cancelVehicleChange()
{
    if (!selectionTask_) {
        return;
    }
    // A task cancelled before it began never runs its body: forget it here
    // rather than wait for its last step.
    selectionTask_->cancel();
    selectionTask_.reset();
    if (window_) {
        window_->setWindowTitle(QString::fromLatin1(appTitle));
    }
}

void GhostApp::applicationDidBecomeActive()
{
    if (!scene_) {
        return;
    }
    // What the slider has not stored yet would otherwise read back as the
    // older stored value.
    volumeSaver_->flush();
    scene_->sound().refreshPreferences();
    refreshSoundControls();
    // Chosen meanwhile in the screen saver's options (the item's own signal
    // would store it again).
    const bool reduced = FlashingPreference::reduced();
    {
        const QSignalBlocker quiet(window_->reduceFlashingItem());
        window_->reduceFlashingItem()->setChecked(reduced);
    }
    scene_->setReduceFlashing(reduced);
    if (scene_->isReady() && !selectionTask_) {
        const Vehicle stored = VehiclePreference::selected();
        if (stored != scene_->vehicle()) {
            switchVehicle(stored);
        }
    }
}

void GhostApp::setReduceFlashing(bool on)
{
    FlashingPreference::setReduced(on);
    if (scene_) {
        scene_->setReduceFlashing(on);
    }
}

void GhostApp::windowWillClose()
{
    volumeSaver_->flush();
    cancelVehicleChange();
    if (scene_) {
        scene_->stop();
    }
    environment_.terminate();
}

void GhostApp::applicationWillTerminate()
{
    volumeSaver_->flush();
    cancelVehicleChange();
    if (scene_) {
        scene_->stop();
    }
}

QString GhostApp::helpText()
{
    return QStringLiteral(
        "Drag the scene to orbit the car. Click pumpkins, gravestones, the moon, or the hand to trigger their "
        "reactions. Use Play effect for the same effects and the Skyrell and Amperle surprises.\n\n"
        "Automatic effects lets reactions happen on their own. Replay opening restarts the entrance and music; Skip "
        "opening takes you to the scene. Reduce flashing, in the Gloamyard menu, makes lightning brighten the "
        "scene gently instead of flashing, here and in the screensaver.\n\n"
        "Sound is off by default. Turn it on here for the app, or separately in Screen Saver Options. Orlenz fades "
        "out after 90 seconds, leaving only effect sounds.\n\n"
        "Choose Gloamyard in the XScreenSaver settings (Display Modes). The screensaver plays automatically and "
        "exits on mouse or keyboard input.\n\n"
        "Every model, picture, sound and note of music here was made for Gloamyard by its own programs. The "
        "vehicles are imagined; no carmaker made or endorses this app.");
}

void GhostApp::showHelp()
{
    QMessageBox* box = window_->helpBox();
    box->setInformativeText(helpText());
    box->open();
}

void GhostApp::showCredits()
{
    const std::filesystem::path file =
        resources_ / std::string(resources::audioFolder) / std::string(resources::soundCredits);
    const QString path = QString::fromStdString(file.string());
    if (std::filesystem::exists(file) && environment_.opensPlainText() &&
        environment_.openUrl(QUrl::fromLocalFile(path))) {
        return;
    }
    // Nothing opens text files here (or the file is gone): show it ourselves.
    QFile credits(path);
    if (credits.open(QIODevice::ReadOnly | QIODevice::Text)) {
        window_->creditsText()->setPlainText(QString::fromUtf8(credits.readAll()));
    } else {
        window_->creditsText()->setPlainText(QStringLiteral("The sound credits file is missing: %1").arg(path));
    }
    window_->creditsDialog()->open();
}

void GhostApp::showAbout()
{
    QMessageBox* box = window_->aboutBox();
    box->setIconPixmap(window_->windowIcon().pixmap(64, 64));
    box->setText(QStringLiteral("<h3>Gloamyard</h3><p>Version %1</p>"
                                "<p>A Halloween night in 3D: a ghostly vehicle under its glowing cloth, a "
                                "house and its graveyard, pumpkins, a witch and a moon.</p>")
                     .arg(QString::fromLatin1(GLOAMYARD_VERSION)));
    box->open();
}

} // namespace gloam::app
