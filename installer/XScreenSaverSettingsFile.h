#pragma once

#include <QByteArray>
#include <QString>

namespace gloam::installer {

// The user's XScreenSaver settings file (~/.xscreensaver), read and replaced
// whole. A file that is not text, or not a regular file, is damaged and is
// never written over; a file without write permission for its owner is
// left alone too. The first replacement keeps a copy of the user's original
// beside it ("~/.xscreensaver.gloamyard-backup"); later ones never touch
// that copy, which stays until the uninstall has finished.
class XScreenSaverSettingsFile {
public:
    enum class State { missing, readable, damaged, unreadable };

    explicit XScreenSaverSettingsFile(QString path);

    State read(QByteArray* text, QString* why = nullptr) const;

    // Writes `text` atomically. A missing file is created (mode 0644 less the
    // umask); an existing one keeps its permissions, and is copied to the
    // backup first when there is none yet (`madeBackup` says whether).
    bool write(const QByteArray& text, QString* why, bool* madeBackup = nullptr) const;

    // The file exists and its owner may not write it.
    bool isReadOnly() const;

    // The file written: a symbolic link (a managed dotfile) is followed.
    QString target() const;
    QString backupPath() const;

private:
    QString path_;
};

} // namespace gloam::installer
