#include "app/LogindSleepSource.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

#include <cstdlib>
#include <filesystem>

namespace gloam::app {

namespace {

const char* const service = "org.freedesktop.login1";
const char* const path = "/org/freedesktop/login1";
const char* const interface = "org.freedesktop.login1.Manager";

// Qt warns on standard error when it cannot reach the system bus; look for
// its socket first so that a machine without one stays quiet.
bool systemBusMayExist()
{
    if (const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS"); address != nullptr && *address != '\0') {
        return true;
    }
    std::error_code error;
    return std::filesystem::exists("/run/dbus/system_bus_socket", error) ||
           std::filesystem::exists("/var/run/dbus/system_bus_socket", error);
}

} // namespace

std::unique_ptr<LogindSleepSource> LogindSleepSource::create()
{
    if (!systemBusMayExist()) {
        return nullptr;
    }
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected() || bus.interface() == nullptr) {
        return nullptr;
    }
    if (!bus.interface()->isServiceRegistered(QString::fromLatin1(service)).value()) {
        return nullptr;
    }
    std::unique_ptr<LogindSleepSource> source(new LogindSleepSource());
    if (!bus.connect(QString::fromLatin1(service), QString::fromLatin1(path), QString::fromLatin1(interface),
                     QStringLiteral("PrepareForSleep"), source.get(), SLOT(prepareForSleep(bool)))) {
        return nullptr;
    }
    return source;
}

void LogindSleepSource::prepareForSleep(bool start)
{
    emit sleepChanged(start);
}

} // namespace gloam::app
