#pragma once

#include "engine/prefs/Vehicle.h"
#include "engine/prefs/VehicleSettingsWindow.h"

#include <QObject>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;

namespace gloam {

// The screen saver's options panel: which vehicle the screen saver shows
// (shared with the interactive app), whether it plays sound, how loud, and
// whether lightning flashes (also shared).
// Every presentation starts from the stored choices (`prepare`); edits are
// stored only by Save. Main thread only.
class VehicleSettings : public QObject {
public:
    // The slider works in steps of a thousandth.
    static constexpr int volumeSteps = 1000;

    VehicleSettings();
    ~VehicleSettings() override;

    // Loads the stored choices into the controls; called before every
    // presentation.
    void prepare();
    // The checkbox's action: the slider and the status follow it.
    void soundChanged();
    // The Save button's action (Return).
    void save();
    // The Cancel button's action (Escape).
    void cancel();

    // The volume the slider shows, 0 to 1.
    double volume() const;
    void setVolume(double volume);

    VehicleSettingsWindow* const window;
    QComboBox* const picker;
    QCheckBox* const soundEnabled;
    QSlider* const soundVolume;
    // Called with the saved vehicle on the next turn of the event loop
    // after a Save, if this object still exists.
    std::function<void(Vehicle)> didSave;
    // Called with QDialog::Accepted after Save and QDialog::Rejected after
    // Cancel; when unset, the panel ends its own window with that result.
    std::function<void(int)> finish;
    QLabel* const soundStatus;
    QPushButton* const cancelButton;
    QPushButton* const saveButton;
    // "Reduce flashing", beside the buttons: shared with the interactive app.
    QCheckBox* const reduceFlashing;

private:
    // Owns the window when no one has taken its content away.
    std::unique_ptr<VehicleSettingsWindow> ownedWindow_;
};

} // namespace gloam
