#include "installer/InstallRecord.h"

#include "installer/AtomicFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace gloam::installer {

QString InstallRecord::pathIn(const QString& appDir)
{
    return appDir + QStringLiteral("/.install-record.json");
}

InstallRecord InstallRecord::load(const QString& appDir)
{
    InstallRecord record;
    QFile file(pathIn(appDir));
    if (!file.open(QIODevice::ReadOnly)) {
        return record;
    }
    const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
    for (const auto& entry : object.value(QStringLiteral("desktopEntries")).toArray()) {
        const QString name = entry.toString();
        // Only plain file names: the uninstall removes these.
        if (!name.isEmpty() && !name.contains(u'/') && name != QStringLiteral("..")) {
            record.desktopEntries.append(name);
        }
    }
    record.createdSettingsFile = object.value(QStringLiteral("createdSettingsFile")).toBool();
    record.seededProgramsList = object.value(QStringLiteral("seededProgramsList")).toBool();
    record.settingsWritten = object.value(QStringLiteral("settingsWritten")).toString();
    for (const auto& folder : object.value(QStringLiteral("createdFolders")).toArray()) {
        record.createdFolders.append(folder.toString());
    }
    return record;
}

bool InstallRecord::save(const QString& appDir, QString* why) const
{
    QJsonObject object;
    object.insert(QStringLiteral("desktopEntries"), QJsonArray::fromStringList(desktopEntries));
    object.insert(QStringLiteral("createdSettingsFile"), createdSettingsFile);
    object.insert(QStringLiteral("seededProgramsList"), seededProgramsList);
    object.insert(QStringLiteral("settingsWritten"), settingsWritten);
    object.insert(QStringLiteral("createdFolders"), QJsonArray::fromStringList(createdFolders));
    return replaceFileAtomically(pathIn(appDir), QJsonDocument(object).toJson(), 0644, why);
}

} // namespace gloam::installer
