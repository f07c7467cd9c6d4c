#pragma once

#include <QWidget>

#include <array>

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QPushButton;

namespace gloam::app {

class VehiclePicker;

// The row of controls along the bottom of the window, under the scene: the
// vehicle picker, the "Automatic effects" checkbox, the "Play effect"
// pull-down, the opening button and the hint. Each control keeps its place
// from the row's left edge when the window grows. Alt+V reaches the picker.
class ControlRow : public QWidget {
public:
    static constexpr int rowHeight = 40;

    // The pull-down's items, in menu order.
    enum class Effect { lightning, pumpkins, ghost, witch, hand, skyrell, amperle };
    static constexpr int effectCount = 7;

    explicit ControlRow(QWidget* parent = nullptr);

    VehiclePicker* picker() const { return picker_; }
    QCheckBox* automaticButton() const { return automaticButton_; }
    QPushButton* effectsButton() const { return effectsButton_; }
    QMenu* effectsMenu() const { return effectsMenu_; }
    QAction* effectItem(Effect effect) const { return effects_[static_cast<std::size_t>(effect)]; }
    QPushButton* openingButton() const { return openingButton_; }
    QLabel* hint() const { return hint_; }

private:
    VehiclePicker* picker_;
    QCheckBox* automaticButton_;
    QPushButton* effectsButton_;
    QMenu* effectsMenu_;
    std::array<QAction*, effectCount> effects_{};
    QPushButton* openingButton_;
    QLabel* hint_;
};

} // namespace gloam::app
