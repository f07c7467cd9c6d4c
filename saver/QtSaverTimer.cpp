#include "saver/QtSaverTimer.h"

#include <cmath>

namespace gloam::saver {

QtSaverTimer::QtSaverTimer(double seconds, bool repeats, std::function<void()> action)
    : timer_(new QTimer)
{
    timer_->setTimerType(Qt::PreciseTimer);
    timer_->setSingleShot(!repeats);
    timer_->setInterval(static_cast<int>(std::lround(seconds * 1000.0)));
    QObject::connect(timer_, &QTimer::timeout, timer_, std::move(action));
    timer_->start();
}

QtSaverTimer::~QtSaverTimer()
{
    cancel();
}

void QtSaverTimer::cancel()
{
    if (timer_) {
        timer_->stop();
        // Deleted later: the timer may be cancelled from its own timeout.
        timer_->deleteLater();
        timer_ = nullptr;
    }
}

} // namespace gloam::saver
