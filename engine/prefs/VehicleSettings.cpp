#include "engine/prefs/VehicleSettings.h"

#include "engine/prefs/FlashingPreference.h"
#include "engine/prefs/GloamyardPreferences.h"
#include "engine/prefs/SoundPreference.h"
#include "engine/prefs/VehiclePreference.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace gloam {

namespace {

// Frames are given with the origin at the bottom left of the content area,
// as the panel was drawn; Qt counts from the top.
void place(QWidget* widget, int x, int y, int width, int height)
{
    widget->setGeometry(x, VehicleSettingsWindow::contentHeight - y - height, width, height);
}

QLabel* label(QWidget* parent, const QString& text)
{
    auto* result = new QLabel(text, parent);
    result->setTextFormat(Qt::PlainText);
    return result;
}

QLabel* secondaryLabel(QWidget* parent, const QString& text)
{
    QLabel* result = label(parent, text);
    result->setWordWrap(true);
    result->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette palette = result->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
    result->setPalette(palette);
    return result;
}

QString qstring(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

VehicleSettings::VehicleSettings()
    : window(new VehicleSettingsWindow)
    , picker(new QComboBox(window->contentView()))
    , soundEnabled(new QCheckBox(QStringLiteral("Enable screensaver sound"), window->contentView()))
    , soundVolume(new QSlider(Qt::Horizontal, window->contentView()))
    , soundStatus(label(window->contentView(), QStringLiteral("Sound is off")))
    , cancelButton(new QPushButton(QStringLiteral("Cancel"), window->contentView()))
    , saveButton(new QPushButton(QStringLiteral("Save"), window->contentView()))
    , reduceFlashing(new QCheckBox(QStringLiteral("Reduce flashing"), window->contentView()))
    , ownedWindow_(window)
{
    soundVolume->setRange(0, volumeSteps);
    setVolume(0.75);

    window->setWindowTitle(QStringLiteral("Gloamyard Options"));
    QWidget* content = window->contentView();

    QLabel* vehicleLabel = label(content, QStringLiteral("Vehicle"));
    place(vehicleLabel, 26, 268, 95, 22);

    QLabel* sharedNote =
        secondaryLabel(content, QStringLiteral("Used by the screensaver and the interactive app on this computer."));
    place(sharedNote, 26, 222, 368, 34);

    for (const Vehicle vehicle : allVehicles) {
        picker->addItem(qstring(title(vehicle)));
    }
    picker->setAccessibleName(QStringLiteral("Screensaver vehicle"));
    place(picker, 125, 265, 265, 28);

    QFont statusFont = soundStatus->font();
    statusFont.setPixelSize(15);
    statusFont.setWeight(QFont::DemiBold);
    soundStatus->setFont(statusFont);
    place(soundStatus, 26, 188, 365, 24);

    place(soundEnabled, 26, 157, 365, 28);
    QObject::connect(soundEnabled, &QCheckBox::toggled, this, [this] { soundChanged(); });

    QLabel* soundNote =
        secondaryLabel(content, QStringLiteral("Off by default. Orlenz fades out after 90 seconds; "
                                               "effect sounds continue.\n\n"
                                               "App sound is separate. The small preview stays silent."));
    place(soundNote, 26, 88, 368, 65);

    QLabel* volumeLabel = label(content, QStringLiteral("Volume"));
    place(volumeLabel, 26, 65, 80, 22);

    soundVolume->setAccessibleName(QStringLiteral("Screensaver sound volume"));
    place(soundVolume, 110, 65, 280, 22);

    place(cancelButton, 220, 12, 82, 28);
    cancelButton->setShortcut(QKeySequence(Qt::Key_Escape));
    cancelButton->setAutoDefault(false);
    QObject::connect(cancelButton, &QPushButton::clicked, this, [this] { cancel(); });

    place(saveButton, 310, 12, 82, 28);
    saveButton->setShortcut(QKeySequence(Qt::Key_Return));
    saveButton->setDefault(true);
    QObject::connect(saveButton, &QPushButton::clicked, this, [this] { save(); });

    // Left of the buttons, so the panel keeps its size and its other rows.
    place(reduceFlashing, 26, 12, 185, 28);
    reduceFlashing->setToolTip(QStringLiteral("Lightning brightens the scene gently instead of flashing. "
                                              "Also used by the interactive app."));
    QWidget::setTabOrder(soundVolume, reduceFlashing);
    QWidget::setTabOrder(reduceFlashing, cancelButton);

    // Stacking order of the content area: the order the panel lists them.
    for (QWidget* widget :
         {static_cast<QWidget*>(vehicleLabel), static_cast<QWidget*>(sharedNote), static_cast<QWidget*>(picker),
          static_cast<QWidget*>(soundStatus), static_cast<QWidget*>(soundEnabled), static_cast<QWidget*>(soundNote),
          static_cast<QWidget*>(volumeLabel), static_cast<QWidget*>(soundVolume), static_cast<QWidget*>(cancelButton),
          static_cast<QWidget*>(saveButton)}) {
        widget->raise();
    }
    soundChanged();
}

VehicleSettings::~VehicleSettings() = default;

double VehicleSettings::volume() const
{
    return static_cast<double>(soundVolume->value()) / volumeSteps;
}

void VehicleSettings::setVolume(double volume)
{
    const double clamped = std::isnan(volume) ? 0.0 : std::clamp(volume, 0.0, 1.0);
    soundVolume->setValue(static_cast<int>(std::lround(clamped * volumeSteps)));
}

void VehicleSettings::prepare()
{
    int index = 0;
    const auto stored = GloamyardPreferences::defaults().value(QStringLiteral("vehicle"));
    if (stored && stored->isString()) {
        if (const auto vehicle = vehicleFromRawValue(stored->toString().toStdString())) {
            index = static_cast<int>(std::find(allVehicles.begin(), allVehicles.end(), *vehicle) - allVehicles.begin());
        }
    }
    picker->setCurrentIndex(index);
    {
        // The checkbox's own signal would run soundChanged a second time.
        const QSignalBlocker quiet(soundEnabled);
        soundEnabled->setChecked(SoundPreference::enabled(SoundMode::saver));
    }
    setVolume(SoundPreference::volume(SoundMode::saver));
    reduceFlashing->setChecked(FlashingPreference::reduced());
    soundChanged();
}

void VehicleSettings::soundChanged()
{
    const bool on = soundEnabled->isChecked();
    soundVolume->setEnabled(on);
    soundStatus->setText(on ? QStringLiteral("Sound is on") : QStringLiteral("Sound is off"));
}

void VehicleSettings::save()
{
    const int index = std::clamp(picker->currentIndex(), 0, static_cast<int>(allVehicles.size()) - 1);
    const Vehicle vehicle = allVehicles[static_cast<std::size_t>(index)];
    VehiclePreference::setSelected(vehicle);
    SoundPreference::save(SoundMode::saver, soundEnabled->isChecked(), static_cast<float>(volume()));
    FlashingPreference::setReduced(reduceFlashing->isChecked());
    if (finish) {
        finish(QDialog::Accepted);
    } else {
        window->done(QDialog::Accepted);
    }
    QTimer::singleShot(0, this, [this, vehicle] {
        if (didSave) {
            didSave(vehicle);
        }
    });
}

void VehicleSettings::cancel()
{
    if (finish) {
        finish(QDialog::Rejected);
        return;
    }
    window->done(QDialog::Rejected);
}

} // namespace gloam
