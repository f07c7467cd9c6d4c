#pragma once

#include <QObject>

#include <functional>

namespace gloam::saver {

// System sleep: logind's PrepareForSleep signal on the system bus (true
// before the system sleeps, false after it wakes). Without a system bus or
// logind it reports nothing.
class SystemSleepWatch : public QObject {
    Q_OBJECT

public:
    explicit SystemSleepWatch(std::function<void(bool asleep)> changed);

    bool watching() const { return watching_; }

private Q_SLOTS:
    void prepareForSleep(bool start);

private:
    std::function<void(bool)> changed_;
    bool watching_ = false;
};

} // namespace gloam::saver
