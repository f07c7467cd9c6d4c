#pragma once

#include <QObject>

namespace gloam::app {

// Tells when the machine or its displays go to sleep and when they wake.
// The app holds its scene still while anything is asleep. Each real source
// (logind, DPMS) is optional; a plain SleepSource is what tests feed.
class SleepSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SleepSource() override;

signals:
    // True when going to sleep, false when awake again.
    void sleepChanged(bool asleep);
};

} // namespace gloam::app
