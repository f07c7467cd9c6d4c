#pragma once

#include "installer/DisplayModeRegistration.h"
#include "installer/InstallRecord.h"
#include "installer/InstallerEnvironment.h"
#include "installer/InstallerError.h"
#include "installer/MenuFiles.h"
#include "installer/PackageArchive.h"
#include "installer/SystemTools.h"
#include "installer/ToolCommand.h"
#include "platform/async/Task.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QLockFile;
class QProgressBar;
class QPushButton;

namespace gloam::installer {

class InstallerWindow;

// The installer: its window with one action button, and the workflow behind
// that button. It puts the app and its display mode into the user's home from
// the package it carries, checks what landed there against what it was built
// for, registers the desktop entries and the display mode with XScreenSaver,
// makes this user's XScreenSaver reload, and leads the user to its settings.
// No step needs administrator rights, and none ends the user's screen locker.
class GloamyardInstaller : public QObject {
    Q_OBJECT

public:
    // The key the package must be signed with (raw Ed25519) and its id, and
    // the bounds of what may be unpacked. The installer trusts the key it was
    // built with; tests pass a key of their own.
    struct Trust {
        QString team;
        QByteArray publicKey;
        PackageArchive::Limits limits;
        static Trust builtIn();
    };

    explicit GloamyardInstaller(InstallerEnvironment environment, Trust trust = Trust::builtIn());
    ~GloamyardInstaller() override;

    const QString appID;
    const QString extensionID;
    const QString version;
    const QString build;
    const QString team;
    // XScreenSaver 6 (xscreensaver-settings) rather than 5 (xscreensaver-demo).
    const bool modernSettings;

    // Builds and shows the window.
    void applicationDidFinishLaunching();
    bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }
    bool applicationShouldTerminate() const { return !busy_; }
    bool windowShouldClose() const { return !busy_; }

    // The button's action (also Return): install and finish, or only finish
    // once registered. Ignored while busy.
    void performAction();
    void setBusy(bool flag);

    // Removes what an install added; the user's settings stay. Returns the
    // message to print; throws an InstallerError when it cannot.
    async::Task<QString> uninstall();

    static InstallerError failure(const QString& message);

    // For the window's tests and the program's entry.
    InstallerWindow* window() const { return window_; }
    QLabel* heading() const { return heading_; }
    QLabel* message() const { return message_; }
    QLabel* status() const { return status_; }
    QProgressBar* progress() const { return progress_; }
    QPushButton* action() const { return action_; }
    bool busy() const { return busy_; }
    bool registered() const { return registered_; }
    const InstallerEnvironment& environment() const { return environment_; }

    // Texts of the window.
    static const QString introText;
    static const QString openSettingsTitle;

signals:
    void busyChanged(bool busy);

private:
    async::Task<void> run(bool wasRegistered);
    async::Task<void> installAndRegister();
    async::Task<void> verifyRegistration();
    async::Task<void> finishSetup();

    // The steps. Coroutines take their parameters by value: they start
    // after the caller's temporaries are gone. The work between suspensions
    // is in plain functions: GCC 12 mishandles objects with destructors in
    // nested scopes of a coroutine.
    void requireNormalUser() const;
    void requireHomeAndLock();
    void makeFolder(const QString& path);
    void releaseLock();
    async::Task<void> refuseWhileAppRuns(QString message);
    void requirePackageAndXScreenSaver() const;
    async::Task<void> unpackPackage(QString staging);
    void verifyUnpacked(const QString& staging) const;
    void planInstall(const QString& staging);
    async::Task<void> checkInstalledApp();
    void writeMenuFiles();
    async::Task<void> refreshMenus(bool entries, bool icons, QString failureMessage);
    void registerDisplayMode();
    async::Task<void> closeSettingsPrograms();
    async::Task<void> reloadDaemon();
    QString settingsProgram() const;
    bool openSettings();
    void removeRegistration(bool* removed, bool* entries, bool* icons);
    void removeTree(bool* removed);
    void removeCreatedFolders();
    void removeBackup();
    DisplayModeRegistration displayMode() const;

    InstallerEnvironment environment_;
    Trust trust_;
    SystemTools tools_;
    InstallerWindow* window_ = nullptr;
    QLabel* heading_ = nullptr;
    QLabel* message_ = nullptr;
    QLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* action_ = nullptr;
    bool busy_ = false;
    bool registered_ = false;
    std::unique_ptr<QLockFile> lock_;
    // What this install writes outside its tree, planned before the new
    // tree takes the old one's place; what the uninstall reads.
    InstallRecord record_;
    std::vector<MenuFiles::File> menuFiles_;
    // The uninstall made a copy of the settings file (it had none to keep).
    bool uninstallMadeBackup_ = false;
    // Folders this operation had to make, outermost first.
    QStringList createdFolders_;
};

} // namespace gloam::installer
