#include "app/ControlRow.h"

#include "app/VehiclePicker.h"
#include "engine/prefs/Vehicle.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

namespace gloam::app {

namespace {

// A frame given as x, y, width, height from the row's bottom left, as Qt's
// geometry from its top left.
QRect fromBottom(int x, int y, int width, int height)
{
    return {x, ControlRow::rowHeight - y - height, width, height};
}

QPalette secondary(QPalette palette)
{
    palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
    return palette;
}

} // namespace

ControlRow::ControlRow(QWidget* parent)
    : QWidget(parent)
{
    setFixedHeight(rowHeight);

    auto* vehicleLabel = new QLabel(QStringLiteral("&Vehicle"), this);
    vehicleLabel->setGeometry(fromBottom(16, 8, 48, 22));

    picker_ = new VehiclePicker(this);
    picker_->setGeometry(fromBottom(68, 6, 160, 28));
    for (Vehicle vehicle : allVehicles) {
        picker_->addItem(QString::fromUtf8(title(vehicle).data(), static_cast<qsizetype>(title(vehicle).size())));
    }
    picker_->setEnabled(false);
    picker_->setAccessibleName(QStringLiteral("Vehicle"));
    picker_->setToolTip(QStringLiteral("Choose the vehicle used by the app and screensaver."));
    vehicleLabel->setBuddy(picker_);

    automaticButton_ = new QCheckBox(QStringLiteral("Automatic effects"), this);
    automaticButton_->setGeometry(fromBottom(248, 6, 155, 28));
    automaticButton_->setChecked(true);
    automaticButton_->setToolTip(QStringLiteral("Play occasional reactions and Easter eggs without clicking. Fog, "
                                                "cloth, and fireflies keep moving either way."));

    effectsButton_ = new QPushButton(QStringLiteral("Play effect"), this);
    effectsButton_->setGeometry(fromBottom(418, 6, 112, 28));
    effectsMenu_ = new QMenu(effectsButton_);
    const char* const titles[effectCount] = {"Lightning", "Pumpkins", "Ghost",  "Witch",
                                             "Hand wave", "Skyrell",  "Amperle"};
    for (std::size_t i = 0; i < effects_.size(); ++i) {
        effects_[i] = effectsMenu_->addAction(QString::fromUtf8(titles[i]));
    }
    effectsButton_->setMenu(effectsMenu_);
    effectsButton_->setToolTip(QStringLiteral(
        "Trigger an effect. Ghost, witch, and hand effects are available when their scene objects are in view."));
    effectsButton_->setEnabled(false);

    openingButton_ = new QPushButton(QStringLiteral("Loading scene\u2026"), this);
    openingButton_->setGeometry(fromBottom(546, 6, 146, 28));
    openingButton_->setEnabled(false);

    hint_ = new QLabel(QStringLiteral("Drag to orbit \u00b7 Click scene objects"), this);
    hint_->setGeometry(fromBottom(724, 8, 260, 22));
    hint_->setPalette(secondary(hint_->palette()));
}

} // namespace gloam::app
