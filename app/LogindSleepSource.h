#pragma once

#include "app/SleepSource.h"

#include <memory>

namespace gloam::app {

// System sleep from logind: its PrepareForSleep signal on the system bus,
// true before the machine suspends or hibernates and false after it wakes.
class LogindSleepSource : public SleepSource {
    Q_OBJECT
public:
    // None when there is no system bus or no logind on it (containers, some
    // minimal systems): the app then runs without this source, silently.
    static std::unique_ptr<LogindSleepSource> create();

private:
    LogindSleepSource() = default;

private slots:
    void prepareForSleep(bool start);
};

} // namespace gloam::app
