#include "saver/SaverProcessServices.h"

#include "engine/prefs/SaverDiagnostics.h"
#include "engine/prefs/VehiclePreference.h"
#include "saver/GloamyardScreenSaverIsRunning.h"
#include "saver/ProcessActivity.h"
#include "saver/SaverGhostScene.h"
#include "saver/QtSaverTimer.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <cmath>

namespace gloam::saver {

std::unique_ptr<SaverTimer> SaverProcessServices::schedule(double seconds, bool repeats, std::function<void()> action)
{
    return std::make_unique<QtSaverTimer>(seconds, repeats, std::move(action));
}

std::shared_ptr<SaverScene> SaverProcessServices::makeScene(SaverSize frame, Vehicle vehicle)
{
    return std::make_shared<SaverGhostScene>(frame, vehicle);
}

Vehicle SaverProcessServices::storedVehicle()
{
    return VehiclePreference::selected();
}

bool SaverProcessServices::screenSaverRunning()
{
    return GloamyardScreenSaverIsRunning() != 0;
}

std::optional<SaverScreen> SaverProcessServices::describeScreen(const QScreen* screen)
{
    if (screen == nullptr) {
        return std::nullopt;
    }
    const QList<QScreen*> screens = QGuiApplication::screens();
    const auto index = screens.indexOf(const_cast<QScreen*>(screen));
    SaverScreen result;
    if (index >= 0) {
        result.number = index;
    }
    result.frame = {static_cast<double>(screen->geometry().width()), static_cast<double>(screen->geometry().height())};
    result.scale = screen->devicePixelRatio();
    return result;
}

std::optional<SaverScreen> SaverProcessServices::firstScreen()
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    return screens.isEmpty() ? std::nullopt : describeScreen(screens.first());
}

std::shared_ptr<void> SaverProcessServices::beginActivity(const std::string& reason)
{
    return std::make_shared<ProcessActivity>(reason);
}

void SaverProcessServices::record(const std::function<std::string()>& message)
{
    saverRecord(message);
}

} // namespace gloam::saver
