#pragma once

#include <QString>
#include <QStringList>

namespace gloam::installer {

// What an install added outside its own tree, kept in the tree as
// ".install-record.json" so that the uninstall removes exactly that.
struct InstallRecord {
    // File names in ~/.local/share/applications.
    QStringList desktopEntries;
    // ~/.xscreensaver did not exist before the install.
    bool createdSettingsFile = false;
    // ~/.xscreensaver had no "programs:" list; the install wrote one made of
    // XScreenSaver's built-in list and this mode.
    bool seededProgramsList = false;
    // SHA-256 (hex) of the ~/.xscreensaver the install last wrote.
    QString settingsWritten;
    // Folders the install made (~/.local/share, its applications folder...),
    // outermost first; the uninstall removes those left empty.
    QStringList createdFolders;

    static QString pathIn(const QString& appDir);
    static InstallRecord load(const QString& appDir);
    bool save(const QString& appDir, QString* why) const;
};

} // namespace gloam::installer
