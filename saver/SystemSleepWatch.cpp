#include "saver/SystemSleepWatch.h"

#include <QDBusConnection>

namespace gloam::saver {

SystemSleepWatch::SystemSleepWatch(std::function<void(bool asleep)> changed)
    : changed_(std::move(changed))
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        return;
    }
    watching_ = bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
                            SLOT(prepareForSleep(bool)));
}

void SystemSleepWatch::prepareForSleep(bool start)
{
    if (changed_) {
        changed_(start);
    }
}

} // namespace gloam::saver
