#pragma once

#include <QComboBox>

namespace gloam::app {

// The vehicle pop-up. Arrow keys, the wheel and typed letters only browse
// its items; a vehicle is chosen (`chosen`) from the opened list or with
// Enter, since each choice loads a whole vehicle. Leaving the picker after
// browsing shows the chosen vehicle again.
class VehiclePicker : public QComboBox {
    Q_OBJECT
public:
    explicit VehiclePicker(QWidget* parent = nullptr);

    // Shows `index` as the chosen vehicle.
    void showChosen(int index);
    int chosenIndex() const { return chosen_; }

signals:
    void chosen(int index);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int chosen_ = 0;
    // Set while a key or the wheel browses, when QComboBox reports its own
    // `activated` for what is not a choice.
    bool browsing_ = false;
};

} // namespace gloam::app
