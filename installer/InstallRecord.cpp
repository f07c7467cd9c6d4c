#include "installer/InstallRecord.h"

#include "installer/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace gloam::installer {

void InstallRecord::noteFile(const QString& path, const QString& sha256)
{
    for (WrittenFile& file : files) {
        if (file.path == path) {
            file.sha256 = sha256;
            return;
        }
    }
    files.append({path, sha256});
}

void InstallRecord::noteFolders(const QStringList& folders)
{
    for (const QString& folder : folders) {
        if (!createdFolders.contains(folder)) {
            createdFolders.append(folder);
        }
    }
}

QString InstallRecord::hashOf(const QString& path) const
{
    for (const WrittenFile& file : files) {
        if (file.path == path) {
            return file.sha256;
        }
    }
    return {};
}

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
    for (const auto& value : object.value(QStringLiteral("files")).toArray()) {
        const QJsonObject entry = value.toObject();
        const QString path = entry.value(QStringLiteral("path")).toString();
        const QString sha256 = entry.value(QStringLiteral("sha256")).toString();
        // Only full, clean paths with a hash: the uninstall removes these.
        if (QDir::isAbsolutePath(path) && QDir::cleanPath(path) == path && sha256.size() == 64) {
            record.noteFile(path, sha256);
        }
    }
    record.createdSettingsFile = object.value(QStringLiteral("createdSettingsFile")).toBool();
    record.seededProgramsList = object.value(QStringLiteral("seededProgramsList")).toBool();
    record.settingsWritten = object.value(QStringLiteral("settingsWritten")).toString();
    record.settingsBackup = object.value(QStringLiteral("settingsBackup")).toString();
    for (const auto& folder : object.value(QStringLiteral("createdFolders")).toArray()) {
        if (QDir::isAbsolutePath(folder.toString())) {
            record.createdFolders.append(folder.toString());
        }
    }
    return record;
}

bool InstallRecord::save(const QString& appDir, QString* why) const
{
    QJsonArray written;
    for (const WrittenFile& file : files) {
        written.append(QJsonObject{{QStringLiteral("path"), file.path}, {QStringLiteral("sha256"), file.sha256}});
    }
    QJsonObject object;
    object.insert(QStringLiteral("files"), written);
    object.insert(QStringLiteral("createdSettingsFile"), createdSettingsFile);
    object.insert(QStringLiteral("seededProgramsList"), seededProgramsList);
    object.insert(QStringLiteral("settingsWritten"), settingsWritten);
    object.insert(QStringLiteral("settingsBackup"), settingsBackup);
    object.insert(QStringLiteral("createdFolders"), QJsonArray::fromStringList(createdFolders));
    return replaceFileAtomically(pathIn(appDir), QJsonDocument(object).toJson(), 0644, why);
}

} // namespace gloam::installer
