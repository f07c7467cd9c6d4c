#include "engine/prefs/GloamyardPreferences.h"

#include "engine/prefs/VehiclePreference.h"

#include <QStandardPaths>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <system_error>

namespace gloam {

namespace {

[[noreturn]] void cannotOpen(const std::string& why)
{
    std::fprintf(stderr, "Gloamyard cannot open its stored choices: %s\n", why.c_str());
    std::exit(EXIT_FAILURE);
}

} // namespace

std::filesystem::path GloamyardPreferences::configDirectory()
{
    const QString location = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return location.isEmpty() ? std::filesystem::path() : std::filesystem::path(location.toStdString());
}

std::filesystem::path GloamyardPreferences::sharedStoreFile(const std::filesystem::path& configDirectory)
{
    return configDirectory / std::string(group) / (std::string(group) + ".json");
}

std::filesystem::path GloamyardPreferences::legacyModuleFile(const std::filesystem::path& configDirectory)
{
    return configDirectory / (std::string(VehiclePreference::module) + ".json");
}

platform::SettingsStore& GloamyardPreferences::defaults()
{
    static const std::unique_ptr<platform::SettingsStore> store = [] {
        const std::filesystem::path config = configDirectory();
        if (config.empty()) {
            cannotOpen("the system reports no config directory (is HOME set?)");
        }
        const std::filesystem::path file = sharedStoreFile(config);
        std::error_code error;
        std::filesystem::create_directories(file.parent_path(), error);
        if (error || !std::filesystem::is_directory(file.parent_path())) {
            cannotOpen("the folder " + file.parent_path().string() + " cannot be created (" +
                       (error ? error.message() : std::string("not a folder")) + ")");
        }
        return std::make_unique<platform::SettingsStore>(file);
    }();
    return *store;
}

void GloamyardPreferences::migrateAppChoices()
{
    platform::SettingsStore& shared = defaults();
    const QJsonObject current = shared.snapshot();
    if (current.value(QStringLiteral("migratedAppChoices")).toBool(false)) {
        return;
    }
    std::vector<std::pair<QString, QJsonValue>> copies;
    const std::filesystem::path legacyFile = legacyModuleFile(configDirectory());
    std::error_code error;
    if (std::filesystem::exists(legacyFile, error)) {
        const QJsonObject legacy = platform::SettingsStore(legacyFile).snapshot();
        for (const char* key : {"vehicle", "audio.app.enabled", "audio.app.volume"}) {
            const QString name = QString::fromLatin1(key);
            const QJsonValue old = legacy.value(name);
            const QJsonValue now = current.value(name);
            if ((now.isUndefined() || now.isNull()) && !old.isUndefined() && !old.isNull()) {
                copies.emplace_back(name, old);
            }
        }
    }
    copies.emplace_back(QStringLiteral("migratedAppChoices"), true);
    shared.setValues(copies);
}

} // namespace gloam
