#include "app/SoundBar.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <cmath>

namespace gloam::app {

namespace {

QRect fromBottom(int x, int y, int width, int height)
{
    return {x, SoundBar::barHeight - y - height, width, height};
}

} // namespace

SoundBar::SoundBar(QWidget* parent)
    : QWidget(parent)
{
    setFixedHeight(barHeight);

    soundButton_ = new QPushButton(QStringLiteral("Turn sound on"), this);
    soundButton_->setGeometry(fromBottom(12, 3, 180, 28));

    note_ = new QLabel(QStringLiteral("Sound is off by default \u00b7 Music fades out at 90s"), this);
    note_->setGeometry(fromBottom(200, 7, 350, 22));
    QPalette secondary = note_->palette();
    secondary.setColor(QPalette::WindowText, secondary.color(QPalette::PlaceholderText));
    note_->setPalette(secondary);

    auto* volumeLabel = new QLabel(QStringLiteral("V&olume"), this);
    volumeLabel->setGeometry(fromBottom(560, 7, 55, 22));

    soundVolume_ = new QSlider(Qt::Horizontal, this);
    soundVolume_->setGeometry(fromBottom(618, 7, 160, 22));
    soundVolume_->setRange(0, volumeSteps);
    soundVolume_->setSingleStep(arrowStep);
    soundVolume_->setPageStep(pageStep);
    soundVolume_->setAccessibleName(QStringLiteral("App sound volume"));
    volumeLabel->setBuddy(soundVolume_);
}

float SoundBar::volume() const
{
    return static_cast<float>(soundVolume_->value()) / static_cast<float>(volumeSteps);
}

void SoundBar::showVolume(float volume)
{
    const QSignalBlocker quiet(soundVolume_);
    const float clamped = std::isnan(volume) ? 0.0F : std::clamp(volume, 0.0F, 1.0F);
    soundVolume_->setValue(static_cast<int>(std::lround(clamped * volumeSteps)));
}

} // namespace gloam::app
