#pragma once

#include <QByteArray>
#include <QString>

namespace gloam::installer {

// The user's XScreenSaver settings file (~/.xscreensaver), read and replaced
// whole. A file that is not text, or not a regular file, is damaged and is
// never written over; a file without write permission for its owner is
// left alone too. Every replacement keeps a copy of the previous contents
// beside it first ("~/.xscreensaver.gloamyard-backup").
class XScreenSaverSettingsFile {
public:
    enum class State { missing, readable, damaged, unreadable };

    explicit XScreenSaverSettingsFile(QString path);

    State read(QByteArray* text, QString* why = nullptr) const;

    // Writes `text` atomically. A missing file is created (mode 0644 less the
    // umask); an existing one keeps its permissions and gets its backup.
    bool write(const QByteArray& text, QString* why) const;

    // The file exists and its owner may not write it.
    bool isReadOnly() const;

    // The file written: a symbolic link (a managed dotfile) is followed.
    QString target() const;
    QString backupPath() const;

private:
    QString path_;
};

} // namespace gloam::installer
