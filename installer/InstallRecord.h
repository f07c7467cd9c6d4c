#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace gloam::installer {

// What an install wrote outside its own tree, kept in the tree as
// ".install-record.json" so that the uninstall removes exactly that. It is
// written into the new tree before that tree takes the old one's place, so
// an install stopped at any point leaves a record of everything it may
// have written.
struct InstallRecord {
    // A file the install wrote (desktop entries, icons): its full path and
    // the SHA-256 (hex) of what it wrote. The uninstall removes it only
    // while it still holds exactly that.
    struct WrittenFile {
        QString path;
        QString sha256;
        bool operator==(const WrittenFile&) const = default;
    };
    QList<WrittenFile> files;
    // ~/.xscreensaver did not exist before the install.
    bool createdSettingsFile = false;
    // ~/.xscreensaver had no "programs:" list; the install wrote one made of
    // XScreenSaver's own list and this mode.
    bool seededProgramsList = false;
    // SHA-256 (hex) of the ~/.xscreensaver the install last wrote.
    QString settingsWritten;
    // SHA-256 (hex) of the copy of the user's original ~/.xscreensaver the
    // install made; empty when it made none.
    QString settingsBackup;
    // Folders the install made (~/.local/share, its applications folder...),
    // outermost first; the uninstall removes those left empty.
    QStringList createdFolders;

    // Notes a file written (or about to be), replacing an older note of it.
    void noteFile(const QString& path, const QString& sha256);
    void noteFolders(const QStringList& folders);
    QString hashOf(const QString& path) const;

    static QString pathIn(const QString& appDir);
    static InstallRecord load(const QString& appDir);
    bool save(const QString& appDir, QString* why) const;
};

} // namespace gloam::installer
