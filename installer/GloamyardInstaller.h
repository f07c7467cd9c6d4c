#pragma once

#include "installer/InstallerEnvironment.h"
#include "installer/InstallRecord.h"
#include "installer/InstallerError.h"
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
    // The key the package must be signed with, and its id.
    struct Trust {
        QString team;
        QByteArray publicKey;
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

    void requireHomeAndLock();
    void makeFolder(const QString& path);
    void releaseLock();
    async::Task<void> refuseWhileAppRuns(QString message);
    void registerDisplayMode(bool* created, bool* seeded, QString* written);
    // Coroutines take their parameters by value: they start after the
    // caller's temporaries are gone.
    async::Task<CommandResult> runTool(QString name, QStringList arguments);
    // This user's live processes named `name` whose executable is `executable`.
    async::Task<std::vector<pid_t>> userProcesses(QString name, QString executable, QString failureMessage);
    async::Task<void> closeSettingsPrograms();
    async::Task<void> reloadDaemon();
    QString settingsProgram() const;
    QStringList removeRegistration(bool* removed);
    void removeTree(bool* removed);
    void removeCreatedFolders();
    bool openSettings();
    QByteArray displayModeEntry() const;

    InstallerEnvironment environment_;
    Trust trust_;
    InstallerWindow* window_ = nullptr;
    QLabel* heading_ = nullptr;
    QLabel* message_ = nullptr;
    QLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* action_ = nullptr;
    bool busy_ = false;
    bool registered_ = false;
    std::unique_ptr<QLockFile> lock_;
    InstallRecord uninstallRecord_;
    // Folders this operation had to make, outermost first.
    QStringList createdFolders_;
};

} // namespace gloam::installer
