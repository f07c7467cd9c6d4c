#include "engine/prefs/GloamyardPreferences.h"

#include "engine/prefs/VehiclePreference.h"

#include <QStandardPaths>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <system_error>

namespace gloam {

namespace {

[[noreturn]] void cannotOpen(const std::string& message)
{
    std::fprintf(stderr, "%s\n", message.c_str());
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

std::optional<std::string> GloamyardPreferences::openProblem()
{
    const std::string start = "Gloamyard cannot open its stored choices: ";
    const std::filesystem::path config = configDirectory();
    if (config.empty()) {
        return start + "the system reports no config directory (is HOME set?)";
    }
    const std::filesystem::path folder = sharedStoreFile(config).parent_path();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder)) {
        return start + "the folder " + folder.string() + " cannot be created (" +
               (error ? error.message() : std::string("not a folder")) + ")";
    }
    return std::nullopt;
}

platform::SettingsStore& GloamyardPreferences::defaults()
{
    static const std::unique_ptr<platform::SettingsStore> store = [] {
        if (const auto problem = openProblem()) {
            cannotOpen(*problem);
        }
        return std::make_unique<platform::SettingsStore>(sharedStoreFile(configDirectory()));
    }();
    return *store;
}

void GloamyardPreferences::migrateAppChoices()
{
    const QString migrated = QStringLiteral("migratedAppChoices");
    platform::SettingsStore& shared = defaults();
    if (shared.snapshot().value(migrated).toBool(false)) {
        return;
    }
    QJsonObject legacy;
    const std::filesystem::path legacyFile = legacyModuleFile(configDirectory());
    std::error_code error;
    if (std::filesystem::exists(legacyFile, error)) {
        legacy = platform::SettingsStore(legacyFile).snapshot();
    }
    // What is already in the shared store is judged under its lock, so
    // that a choice the screen saver writes meanwhile is never overwritten.
    shared.update([&](QJsonObject& current) {
        if (current.value(migrated).toBool(false)) {
            return false; // another process got there first
        }
        for (const char* key : {"vehicle", "audio.app.enabled", "audio.app.volume"}) {
            const QString name = QString::fromLatin1(key);
            const QJsonValue old = legacy.value(name);
            const QJsonValue now = current.value(name);
            if ((now.isUndefined() || now.isNull()) && !old.isUndefined() && !old.isNull()) {
                current.insert(name, old);
            }
        }
        current.insert(migrated, true);
        return true;
    });
}

} // namespace gloam
