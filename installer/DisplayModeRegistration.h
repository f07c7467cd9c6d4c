#pragma once

#include "installer/InstallRecord.h"
#include "installer/XScreenSaverSettingsFile.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace gloam::installer {

// Gloamyard's display mode in the user's ~/.xscreensaver: the edit that adds
// it (enabled) and the one that takes it out again. Each edit is planned in
// full first, so that an install learns of a file it cannot change before
// it changes anything, and records what it will write.
class DisplayModeRegistration {
public:
    enum class Problem {
        none,
        damaged,       // not text, not a regular file, or mixed line ends
        unreadable,    // the system refused to read it
        readOnly,      // it must change, but its owner made it read-only
        noDefaultList, // no list of modes to start a new list from
    };

    struct Edit {
        Problem problem = Problem::none;
        bool changes = false;     // the file is to be written (or removed)
        bool createsFile = false; // there is no file yet
        bool seedsList = false;   // the file has no list yet; the new one starts from XScreenSaver's own
        bool removesFile = false; // the whole file goes (it is the one the install made, unchanged)
        QByteArray text;          // what the file is to hold
    };

    // `defaultFiles`: XScreenSaver's built-in settings, in the order X
    // reads them; `program`: the display mode's program; `entry`: its
    // line in the list.
    DisplayModeRegistration(QString settingsFile, QStringList defaultFiles, QByteArray program, QByteArray entry);

    Edit planAdd() const;
    // What the uninstall does: the file goes if the install made it and it
    // is as the install left it; otherwise only the entry leaves it, and
    // with it a list the install made that now holds only the defaults.
    Edit planRemove(const InstallRecord& record) const;
    // Carries out a planned edit that has no problem. `madeBackup` says
    // whether the user's original was copied aside first.
    bool apply(const Edit& edit, bool* madeBackup, QString* why) const;

    // The mode is listed and enabled.
    bool isEnabled() const;

    const XScreenSaverSettingsFile& file() const { return file_; }

    // The mode list of the first of `files` that has one.
    static QList<QByteArray> defaultList(const QStringList& files);
    static QString sha256Hex(const QByteArray& bytes);

private:
    XScreenSaverSettingsFile file_;
    QStringList defaultFiles_;
    QByteArray program_;
    QByteArray entry_;
};

} // namespace gloam::installer
