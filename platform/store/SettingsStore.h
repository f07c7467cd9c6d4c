#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <filesystem>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace gloam::platform {

// A small key-value store in one JSON file, shared between processes.
//
// Every read goes back to the file, so a value another process wrote is seen
// at once. Every write re-reads the file under a lock file, changes the
// keys, and replaces the file atomically (write to a temporary, then rename),
// so a crash or a full disk never leaves a truncated file and concurrent
// writers never drop each other's keys. A file that is not a JSON object is
// read as empty and, before the next write replaces it, kept beside it as
// "<name>.damaged" so that nothing the user had is silently destroyed.
class SettingsStore {
public:
    explicit SettingsStore(std::filesystem::path file);

    const std::filesystem::path& file() const { return file_; }

    // The whole content as it is on disk now.
    QJsonObject snapshot() const;

    std::optional<QJsonValue> value(const QString& key) const;
    bool contains(const QString& key) const { return value(key).has_value(); }

    // Writes the keys in one atomic replacement. Returns false (after
    // printing why to standard error) when the file cannot be written;
    // the file on disk is then unchanged.
    bool setValues(const std::vector<std::pair<QString, QJsonValue>>& values);
    bool setValue(const QString& key, const QJsonValue& value) { return setValues({{key, value}}); }
    bool remove(const QString& key);

    // Reads the file, lets `change` edit its content and writes the result,
    // all under the lock file, so that the change sees what another process
    // wrote just before. `change` returns whether it changed anything;
    // nothing is written when it did not. False when the file cannot be
    // written (the reason printed as for setValues).
    bool update(const std::function<bool(QJsonObject&)>& change);

private:
    struct Loaded {
        QJsonObject object;
        bool damaged = false;
    };
    Loaded load() const;
    bool write(const std::function<bool(QJsonObject&)>& change);

    std::filesystem::path file_;
};

} // namespace gloam::platform
