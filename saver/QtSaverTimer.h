#pragma once

#include "saver/SaverTimer.h"

#include <QPointer>
#include <QTimer>

#include <functional>

namespace gloam::saver {

// A QTimer on the main loop that may be cancelled or dropped from inside
// its own callback.
class QtSaverTimer : public SaverTimer {
public:
    QtSaverTimer(double seconds, bool repeats, std::function<void()> action);
    ~QtSaverTimer() override;

    void cancel() override;

private:
    QPointer<QTimer> timer_;
};

} // namespace gloam::saver
