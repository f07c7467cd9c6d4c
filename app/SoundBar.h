#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QSlider;

namespace gloam::app {

// The strip under the menu bar with the app's sound switch and volume.
// Alt+O reaches the volume.
class SoundBar : public QWidget {
public:
    static constexpr int barHeight = 34;
    // The slider's steps: the volume runs from 0 to 1 in thousandths; an
    // arrow key moves it 1 %, Page Up and Page Down 10 %.
    static constexpr int volumeSteps = 1000;
    static constexpr int arrowStep = volumeSteps / 100;
    static constexpr int pageStep = volumeSteps / 10;

    explicit SoundBar(QWidget* parent = nullptr);

    QPushButton* soundButton() const { return soundButton_; }
    QSlider* soundVolume() const { return soundVolume_; }
    QLabel* note() const { return note_; }

    // The slider as a volume from 0 to 1, and back.
    float volume() const;
    // Sets the slider without reporting a change.
    void showVolume(float volume);

private:
    QPushButton* soundButton_;
    QLabel* note_;
    QSlider* soundVolume_;
};

} // namespace gloam::app
