#include "platform/store/SettingsStore.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QLockFile>
#include <QSaveFile>

#include <cstdio>
#include <functional>

namespace gloam::platform {

namespace {

QString qPath(const std::filesystem::path& path)
{
    return QString::fromStdString(path.string());
}

void complain(const std::filesystem::path& file, const QString& why)
{
    std::fprintf(stderr, "Gloamyard could not save settings to %s: %s\n", file.c_str(), qUtf8Printable(why));
}

} // namespace

SettingsStore::SettingsStore(std::filesystem::path file)
    : file_(std::move(file))
{}

SettingsStore::Loaded SettingsStore::load() const
{
    QFile input(qPath(file_));
    if (!input.exists()) {
        return {};
    }
    if (!input.open(QIODevice::ReadOnly)) {
        return {{}, true};
    }
    const QByteArray bytes = input.readAll();
    if (bytes.trimmed().isEmpty()) {
        return {}; // an empty file holds no settings; nothing to keep
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return {{}, true};
    }
    return {document.object(), false};
}

QJsonObject SettingsStore::snapshot() const
{
    return load().object;
}

std::optional<QJsonValue> SettingsStore::value(const QString& key) const
{
    const QJsonObject object = load().object;
    const auto found = object.constFind(key);
    if (found == object.constEnd() || found->isNull() || found->isUndefined()) {
        return std::nullopt;
    }
    return *found;
}

bool SettingsStore::write(const std::function<bool(QJsonObject&)>& change)
{
    std::error_code ignored;
    std::filesystem::create_directories(file_.parent_path(), ignored);

    QLockFile lock(qPath(file_) + QStringLiteral(".lock"));
    lock.setStaleLockTime(10000);
    if (!lock.tryLock(5000)) {
        complain(file_, lock.error() == QLockFile::LockFailedError
                            ? QStringLiteral("another process holds its lock file")
                            : QStringLiteral("its folder cannot be written"));
        return false;
    }

    Loaded current = load();
    if (current.damaged) {
        const QString damaged = qPath(file_) + QStringLiteral(".damaged");
        QFile::remove(damaged);
        if (!QFile::copy(qPath(file_), damaged)) {
            complain(file_, QStringLiteral("the file is damaged and could not be kept aside"));
            return false;
        }
        std::fprintf(stderr, "Gloamyard: the settings file %s was damaged; it is kept as %s and replaced\n",
                     file_.c_str(), qUtf8Printable(damaged));
    }
    if (!change(current.object) && !current.damaged) {
        return true; // nothing to write
    }

    QSaveFile output(qPath(file_));
    if (!output.open(QIODevice::WriteOnly)) {
        complain(file_, output.errorString());
        return false;
    }
    const QByteArray bytes = QJsonDocument(current.object).toJson(QJsonDocument::Indented);
    if (output.write(bytes) != bytes.size()) {
        complain(file_, output.errorString());
        output.cancelWriting();
        return false;
    }
    if (!output.commit()) {
        complain(file_, output.errorString());
        return false;
    }
    return true;
}

bool SettingsStore::setValues(const std::vector<std::pair<QString, QJsonValue>>& values)
{
    return write([&values](QJsonObject& object) {
        for (const auto& [key, value] : values) {
            object.insert(key, value);
        }
        return true;
    });
}

bool SettingsStore::remove(const QString& key)
{
    return write([&key](QJsonObject& object) {
        object.remove(key);
        return true;
    });
}

bool SettingsStore::update(const std::function<bool(QJsonObject&)>& change)
{
    return write(change);
}

} // namespace gloam::platform
