#pragma once

#include <QHash>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <sys/types.h>

namespace gloam::installer {

// Everything the installer takes from the process it runs in: who runs it,
// the home and data folders, where it looks for tools and its package. The
// program reads it from its own process; tests build one around a sandbox
// home and a folder of fake tools.
struct InstallerEnvironment {
    uid_t uid = 0;
    uid_t euid = 0;
    gid_t gid = 0;
    gid_t egid = 0;
    pid_t pid = 0;
    // Empty when HOME is unset or not an absolute path.
    QString home;
    // $XDG_DATA_HOME when it is an absolute path, else home + "/.local/share".
    QString dataHome;
    // Folders searched for tools, in order ($PATH).
    QStringList toolPath;
    // The package the installer carries (its signature is beside it, + ".sig").
    QString packagePath;
    // XScreenSaver's built-in settings, whose mode list a new list in
    // ~/.xscreensaver starts from: the first of these files that has one.
    QStringList xscreensaverDefaults{QStringLiteral("/etc/X11/app-defaults/XScreenSaver"),
                                     QStringLiteral("/usr/share/X11/app-defaults/XScreenSaver")};
    // How long each system tool may run before it is ended and the step
    // fails with a message that says so; a tool not listed gets `defaultDeadline`.
    QHash<QString, double> toolDeadlines{
        {QStringLiteral("pgrep"), 10},
        {QStringLiteral("ps"), 10},
        {QStringLiteral("xscreensaver-command"), 20},
        {QStringLiteral("update-desktop-database"), 30},
        {QStringLiteral("gtk-update-icon-cache"), 30},
    };
    double defaultDeadline = 30;
    // The variables tools are started with.
    QProcessEnvironment processEnvironment;

    static InstallerEnvironment fromProcess();

    bool hasHome() const { return !home.isEmpty(); }

    // The installed tree: bin/, share/gloamyard/Resources/, Manifests/, ...
    QString appDir() const;
    QString appProgram() const;
    QString saverProgram() const;
    // ~/.local/share/applications, where desktop entries are registered.
    QString applicationsDir() const;
    // ~/.local/share/icons/hicolor, the user's part of the icon theme menus look in.
    QString iconThemeDir() const;
    QString xscreensaverFile() const;
    // Held while an operation changes the installation.
    QString lockPath() const;

    // The absolute path of a tool found on toolPath, or empty.
    QString findTool(const QString& name) const;
    double deadlineOf(const QString& tool) const { return toolDeadlines.value(tool, defaultDeadline); }

    // The variables for a tool: this process's, with PATH and HOME as above.
    QProcessEnvironment toolEnvironment() const;
};

} // namespace gloam::installer
