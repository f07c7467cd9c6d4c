// The whole install in a sandbox home with fake tools: first install,
// repair, uninstall, and every way it can fail.
#include "installer/GloamyardInstaller.h"
#include "installer/InstallerError.h"
#include "installer/PackageVerifier.h"
#include "installer/XScreenSaverPrograms.h"
#include "platform/async/TaskHandle.h"
#include "tests/installer/Sandbox.h"
#include "tests/installer/TestPackage.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLockFile>
#include <QProcess>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include <signal.h>
#include <sys/resource.h>

namespace gloam::installer::test {
namespace {

const QString failedBefore = QStringLiteral("Setup couldn’t finish");
const QString failedAfter = QStringLiteral("Installed — one more step");
const QString retry = QStringLiteral("Retry Installation");

// A user's settings file as xscreensaver-settings writes it: other settings,
// a mode list whose third entry is selected, and a disabled mode.
const QByteArray userSettings = "# XScreenSaver Preferences File\n"
                                "timeout:\t0:10:00\n"
                                "lock:\t\tTrue\n"
                                "mode:\t\tone\n"
                                "selected:\t2\n"
                                "\n"
                                "programs:\t\t\t\t\t\t\t\t      \\\n"
                                "\t\t\t\tmaze --root\t\t\t\t    \\n\\\n"
                                "- GL: \t\t\t\tsuperquadrics --root\t\t\t    \\n\\\n"
                                "  \"My Fire\"\t\t\tflame --root --delay 20\t\t    \\n\\\n"
                                "\n"
                                "pointerHysteresis:\t10\n";

class InstallerWorkflow : public ::testing::Test {
public:
    Sandbox sandbox;
    // A file size limit a test set, put back when it ends.
    std::optional<rlimit> savedFileSizeLimit;

    void TearDown() override
    {
        if (savedFileSizeLimit) {
            setrlimit(RLIMIT_FSIZE, &*savedFileSizeLimit);
            signal(SIGXFSZ, SIG_DFL);
        }
    }

    // Files larger than `bytes` can no longer be written, as on a full disk.
    void limitFileSize(rlim_t bytes)
    {
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        savedFileSizeLimit = limit;
        signal(SIGXFSZ, SIG_IGN);
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }

    QString appDir() const { return sandbox.environment.appDir(); }
    QString settingsFile() const { return sandbox.home() + QStringLiteral("/.xscreensaver"); }

    std::unique_ptr<GloamyardInstaller> makeInstaller()
    {
        auto installer = std::make_unique<GloamyardInstaller>(sandbox.environment, sandbox.trust);
        installer->applicationDidFinishLaunching();
        return installer;
    }

    // A first install that must succeed, for tests that start from one.
    void installOnce()
    {
        auto installer = makeInstaller();
        clickAndWait(*installer);
        ASSERT_TRUE(installer->registered()) << installer->message()->text().toStdString();
    }

    static void expectFailedBefore(const GloamyardInstaller& installer, const QString& message)
    {
        EXPECT_EQ(installer.heading()->text(), failedBefore);
        EXPECT_EQ(installer.message()->text(), message);
        EXPECT_TRUE(installer.status()->text().isEmpty());
        EXPECT_EQ(installer.action()->text(), retry);
        EXPECT_TRUE(installer.action()->isEnabled());
        EXPECT_FALSE(installer.busy());
        EXPECT_FALSE(installer.registered());
    }

    QStringList stagingLeft() const
    {
        return QDir(sandbox.environment.dataHome)
            .entryList({QStringLiteral(".*staging*"), QStringLiteral(".*previous*")},
                       QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    // A copy of the good package with one change made to its members,
    // signed with the sandbox's key.
    QString alteredPackage(const std::function<void(std::vector<ArchiveMember>&)>& change)
    {
        auto members = TestPackage::read(sandbox.environment.packagePath);
        change(members);
        const QString out = sandbox.root() + QStringLiteral("/altered.pkg");
        TestPackage::write(out, members);
        ThrowawayKey::shared().signFile(out);
        return out;
    }

    // What `gloamyard-installer --uninstall` prints, or its error.
    QString uninstall()
    {
        GloamyardInstaller uninstaller(sandbox.environment, sandbox.trust);
        QString said;
        bool ended = false;
        auto job = [](GloamyardInstaller* owner, QString* out, bool* done) -> async::Task<void> {
            try {
                auto work = owner->uninstall();
                *out = co_await std::move(work);
            } catch (const std::exception& error) {
                *out = QString::fromUtf8(error.what());
            }
            *done = true;
        };
        async::spawn(job(&uninstaller, &said, &ended));
        waitUntil([&ended] { return ended; });
        return said;
    }

    QList<QByteArray> listedEntries() const
    {
        QList<QByteArray> texts;
        const XScreenSaverPrograms programs(Sandbox::read(settingsFile()));
        for (const auto& entry : programs.entries()) {
            texts.append(entry.text);
        }
        return texts;
    }

    QByteArray ourEntry() const
    {
        return "GL: \"Gloamyard\" " + QFile::encodeName(appDir()) + "/bin/gloamyard-saver -root";
    }
};

TEST_F(InstallerWorkflow, FirstInstallSucceedsEndToEnd)
{
    Sandbox::write(settingsFile(), userSettings);
    auto installer = makeInstaller();
    clickAndWait(*installer);

    // The completed state of the window.
    EXPECT_EQ(installer->heading()->text(), QStringLiteral("Installation complete"));
    EXPECT_EQ(installer->message()->text(),
              QStringLiteral("In XScreenSaver Settings, choose Gloamyard under Display Modes.\nUse Gloamyard Screen "
                             "Saver Options to pick a vehicle and turn on sound, which is off by default."));
    EXPECT_EQ(installer->status()->text(), QStringLiteral("The companion app is in your desktop’s applications menu."));
    EXPECT_EQ(installer->action()->text(), QStringLiteral("Open XScreenSaver Settings"));
    EXPECT_TRUE(installer->action()->isEnabled());
    EXPECT_TRUE(installer->registered());

    // The installed tree, checked file by file against the package's manifest.
    const PackageVerifier installed(appDir(), {QStringLiteral("1.0.8"), QStringLiteral("71")});
    ASSERT_TRUE(QFile::exists(appDir() + QStringLiteral("/.install-record.json")));
    QDir(appDir()).remove(QStringLiteral(".install-record.json"));
    QString why;
    EXPECT_TRUE(installed.filesValid({installer->appID, installer->extensionID}, &why)) << why.toStdString();
    EXPECT_TRUE(stagingLeft().isEmpty());

    // Desktop entries name the installed programs, and the app's names its
    // icon, which is in the user's icon theme.
    const QString applications = sandbox.environment.applicationsDir();
    const QByteArray appEntry = Sandbox::read(applications + QStringLiteral("/net.gloamyard.Gloamyard.desktop"));
    EXPECT_TRUE(appEntry.contains("\nExec=" + QFile::encodeName(appDir()) + "/bin/gloamyard\n")) << appEntry.data();
    EXPECT_TRUE(appEntry.contains("\nIcon=gloamyard\n")) << appEntry.data();
    EXPECT_TRUE(appEntry.contains("\nStartupWMClass=Gloamyard\n")) << appEntry.data();
    const QByteArray optionsEntry = Sandbox::read(applications + QStringLiteral("/gloamyard-saver-options.desktop"));
    EXPECT_TRUE(optionsEntry.contains("\nExec=" + QFile::encodeName(appDir()) + "/bin/gloamyard-saver --configure\n"));
    EXPECT_TRUE(sandbox.toolLog().contains(QStringLiteral("update-desktop-database ") + applications));
    for (const char* size : {"16x16", "48x48"}) {
        const QString icon = QStringLiteral("/Icons/hicolor/%1/apps/gloamyard.png").arg(QLatin1String(size));
        const QByteArray carried = Sandbox::read(QStringLiteral(INSTALLER_TEST_FIXTURES "/Resources") + icon);
        ASSERT_FALSE(carried.isEmpty());
        EXPECT_EQ(Sandbox::read(sandbox.environment.dataHome + icon.toLower()), carried) << size;
    }
#ifdef DESKTOP_FILE_VALIDATE
    // What the menus read is valid, as installed.
    for (const char* name : {"net.gloamyard.Gloamyard.desktop", "gloamyard-saver-options.desktop"}) {
        QProcess validate;
        validate.setProcessChannelMode(QProcess::MergedChannels);
        validate.start(QStringLiteral(DESKTOP_FILE_VALIDATE), {applications + u'/' + QLatin1String(name)});
        ASSERT_TRUE(validate.waitForFinished());
        EXPECT_EQ(validate.exitCode(), 0) << name << ": " << validate.readAll().toStdString();
    }
#endif

    // The mode is appended, enabled; every other byte of the file stays.
    const QByteArray written = Sandbox::read(settingsFile());
    QByteArray expected = userSettings;
    expected.replace("    \\n\\\n\n", "    \\n\\\n\t\t\t\t" + ourEntry() + "\t\\n\\\n\n");
    EXPECT_EQ(written, expected);
    EXPECT_EQ(Sandbox::read(settingsFile() + QStringLiteral(".gloamyard-backup")), userSettings);

    // No daemon ran, so none was restarted; the settings were opened.
    EXPECT_FALSE(sandbox.toolLog().contains(QStringLiteral("-restart")));
    EXPECT_TRUE(waitUntil(
        [this] { return sandbox.programLog().contains(sandbox.bin() + QStringLiteral("/xscreensaver-settings")); }));
}

TEST_F(InstallerWorkflow, ANewSettingsFileStartsFromXScreenSaversOwnModes)
{
    installOnce();
    const XScreenSaverPrograms programs(Sandbox::read(settingsFile()));
    QList<QByteArray> texts;
    for (const auto& entry : programs.entries()) {
        texts.append(entry.text);
    }
    ASSERT_EQ(texts.size(), 5);
    EXPECT_EQ(texts[0], "maze --root");
    EXPECT_EQ(texts[1], "- GL: \t\t\t\tsuperquadrics --root");
    EXPECT_EQ(texts[3], "- GL: \t\t\t\tsquirtorus --root");
    EXPECT_TRUE(programs.isEnabled(QFile::encodeName(sandbox.environment.saverProgram())));
}

TEST_F(InstallerWorkflow, SecondRunRepairsTheInstall)
{
    Sandbox::write(settingsFile(), userSettings);
    installOnce();
    const auto good = Sandbox::snapshot(appDir());
    const QByteArray goodSettings = Sandbox::read(settingsFile());

    // Damage: a lost resource, a stray file, the mode disabled, an entry gone.
    QFile::remove(appDir() + QStringLiteral("/share/gloamyard/Resources/PropTargets.json"));
    Sandbox::write(appDir() + QStringLiteral("/bin/stray"), "not ours");
    QByteArray disabled = goodSettings;
    disabled.replace("\t\t\t\tGL: \"Gloamyard\"", "-\t\t\tGL: \"Gloamyard\"");
    Sandbox::write(settingsFile(), disabled);
    QFile::remove(sandbox.environment.applicationsDir() + QStringLiteral("/net.gloamyard.Gloamyard.desktop"));

    auto installer = makeInstaller();
    clickAndWait(*installer);
    EXPECT_TRUE(installer->registered()) << installer->message()->text().toStdString();
    auto repaired = Sandbox::snapshot(appDir());
    // The record notes the settings file written this time.
    repaired.erase(QStringLiteral(".install-record.json"));
    auto expected = good;
    expected.erase(QStringLiteral(".install-record.json"));
    EXPECT_EQ(repaired, expected);
    EXPECT_TRUE(XScreenSaverPrograms(Sandbox::read(settingsFile()))
                    .isEnabled(QFile::encodeName(sandbox.environment.saverProgram())));
    EXPECT_EQ(XScreenSaverPrograms(Sandbox::read(settingsFile())).entries().size(), 4u);
    EXPECT_TRUE(
        QFile::exists(sandbox.environment.applicationsDir() + QStringLiteral("/net.gloamyard.Gloamyard.desktop")));
}

TEST_F(InstallerWorkflow, AnInterruptedInstallLeavesNothingHalfWritten)
{
    installOnce();
    const auto good = Sandbox::snapshot(appDir());
    // What an install killed during unpacking leaves: a half-filled staging folder.
    const QString leftover = sandbox.environment.dataHome + QStringLiteral("/.net.gloamyard.Gloamyard.staging-a1b2c3");
    Sandbox::write(leftover + QStringLiteral("/bin/gloamyard"), "half");
    EXPECT_EQ(Sandbox::snapshot(appDir()), good);

    auto installer = makeInstaller();
    clickAndWait(*installer);
    EXPECT_TRUE(installer->registered());
    EXPECT_TRUE(stagingLeft().isEmpty());
    EXPECT_EQ(Sandbox::snapshot(appDir()), good);
}

// Uninstalling leaves the home as it was before the install, apart from the
// settings the app wrote meanwhile.
struct HomeBefore {
    const char* name;
    QByteArray settings; // empty: no ~/.xscreensaver
};

class Uninstall : public InstallerWorkflow, public ::testing::WithParamInterface<HomeBefore> {};

TEST_P(Uninstall, LeavesTheHomeAsItWasApartFromSettings)
{
    if (!GetParam().settings.isEmpty()) {
        Sandbox::write(settingsFile(), GetParam().settings);
    }
    Sandbox::write(sandbox.home() + QStringLiteral("/Documents/letter.txt"), "dear reader");
    const auto before = Sandbox::snapshot(sandbox.home());

    installOnce();
    const QString choices =
        sandbox.home() +
        QStringLiteral("/.config/G7N4Q2YARD.net.gloamyard.Gloamyard/G7N4Q2YARD.net.gloamyard.Gloamyard.json");
    Sandbox::write(choices, "{\"vehicle\":\"vantre\"}");

    EXPECT_EQ(uninstall(), QStringLiteral("Gloamyard was removed. Your Gloamyard settings were kept."));

    auto after = Sandbox::snapshot(sandbox.home());
    EXPECT_EQ(after.erase(
                  QStringLiteral(".config/G7N4Q2YARD.net.gloamyard.Gloamyard/G7N4Q2YARD.net.gloamyard.Gloamyard.json")),
              1u);
    after.erase(QStringLiteral(".config/G7N4Q2YARD.net.gloamyard.Gloamyard"));
    after.erase(QStringLiteral(".config"));
    EXPECT_EQ(after, before);
}

INSTANTIATE_TEST_SUITE_P(
    HomeShapes, Uninstall,
    ::testing::Values(HomeBefore{"WithSettingsFile", userSettings}, HomeBefore{"WithoutSettingsFile", {}},
                      HomeBefore{"WithSettingsButNoModeList", "timeout:\t0:05:00\nlock:\t\tFalse\n"}),
    [](const auto& param) { return std::string(param.param.name); });

// Failures before anything is registered: the message, the window's failed
// state, and what must not have changed.
struct FailureCase {
    const char* name;
    std::function<void(InstallerWorkflow&, Sandbox&)> arrange;
    QString message;
    bool startsInstalled; // a good install exists first and must stay intact
};

class InstallFailure : public InstallerWorkflow, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(InstallFailure, ShowsItsMessageAndKeepsWhatWasThere)
{
    if (GetParam().startsInstalled) {
        installOnce();
    }
    const auto before = Sandbox::snapshot(sandbox.home());
    const QByteArray settingsBefore = Sandbox::read(settingsFile());
    GetParam().arrange(*this, sandbox);

    auto installer = makeInstaller();
    clickAndWait(*installer);
    expectFailedBefore(*installer, GetParam().message);
    EXPECT_TRUE(stagingLeft().isEmpty());
    if (GetParam().startsInstalled) {
        auto after = Sandbox::snapshot(sandbox.home());
        after.erase(QStringLiteral(".xscreensaver.gloamyard-backup"));
        auto expected = before;
        expected.erase(QStringLiteral(".xscreensaver.gloamyard-backup"));
        // The installed tree is whole: the old one, file for file.
        for (const auto& [path, hash] : expected) {
            if (path.startsWith(QStringLiteral(".local/share/net.gloamyard.Gloamyard/"))) {
                EXPECT_EQ(after[path], hash) << path.toStdString();
            }
        }
        EXPECT_EQ(Sandbox::read(settingsFile()), settingsBefore);
    }
}

const QString noAdmin = QStringLiteral("Open this installer from your normal account, without administrator commands.");
const QString unpackFailed =
    QStringLiteral("The package installation couldn’t finish. Quit Gloamyard if it is open, then retry.");
const QString notMatching = QStringLiteral("The installed files don’t match this installer. Retry installation.");
const QString notVerified = QStringLiteral("The installed files could not be verified. Download the installer again.");

INSTANTIATE_TEST_SUITE_P(
    Rows, InstallFailure,
    ::testing::Values(
        FailureCase{"RunAsRoot",
                    [](InstallerWorkflow&, Sandbox& box) { box.environment.uid = box.environment.euid = 0; }, noAdmin,
                    false},
        FailureCase{"SetUid", [](InstallerWorkflow&, Sandbox& box) { box.environment.euid = 0; }, noAdmin, false},
        FailureCase{"SetGid", [](InstallerWorkflow&, Sandbox& box) { box.environment.egid = 0; }, noAdmin, false},
        FailureCase{"HomeUnset",
                    [](InstallerWorkflow&, Sandbox& box) {
                        box.environment.home.clear();
                        box.environment.dataHome.clear();
                    },
                    QStringLiteral("Your home folder is not set (HOME is empty). Open this installer from your "
                                   "desktop session."),
                    false},
        FailureCase{"AppRunning",
                    [](InstallerWorkflow&, Sandbox& box) {
                        QProcess* app = box.start(box.environment.appProgram());
                        box.reportProcess(QStringLiteral("gloamyard"), app->processId());
                    },
                    QStringLiteral("Quit Gloamyard, then click Retry Installation."), true},
        FailureCase{"PackageMissing",
                    [](InstallerWorkflow&, Sandbox& box) {
                        box.environment.packagePath = box.root() + QStringLiteral("/elsewhere/Install Gloamyard.pkg");
                    },
                    QStringLiteral("The installation package is missing. Download the installer again."), false},
        FailureCase{"NoXScreenSaver",
                    [](InstallerWorkflow&, Sandbox& box) {
                        box.removeTool(QStringLiteral("xscreensaver"));
                        box.removeTool(QStringLiteral("xscreensaver-command"));
                        box.removeTool(QStringLiteral("xscreensaver-settings"));
                    },
                    QStringLiteral("XScreenSaver is not installed. Install it (for example with “sudo apt install "
                                   "xscreensaver”), then click Retry Installation."),
                    false},
        FailureCase{"DiskFullDuringUnpack",
                    [](InstallerWorkflow& test, Sandbox&) {
                        // The programs no longer fit; the first of them is half written.
                        test.limitFileSize(2048);
                    },
                    unpackFailed, true},
        FailureCase{"SignatureMissing",
                    [](InstallerWorkflow&, Sandbox& box) {
                        QFile::remove(box.environment.packagePath + QStringLiteral(".sig"));
                    },
                    QStringLiteral("The installation package is missing. Download the installer again."), true},
        FailureCase{
            "AnotherVersion",
            [](InstallerWorkflow&, Sandbox& box) { box.environment.packagePath = box.signedCopy("version-1.0.7.pkg"); },
            notMatching, true},
        FailureCase{"TamperedFile",
                    [](InstallerWorkflow& test, Sandbox& box) {
                        box.environment.packagePath = test.alteredPackage([](std::vector<ArchiveMember>& members) {
                            TestPackage::find(members, "share/gloamyard/Resources/PropTargets.json")->data = "tampered";
                        });
                    },
                    notVerified, true},
        FailureCase{"ExtraFile",
                    [](InstallerWorkflow& test, Sandbox& box) {
                        box.environment.packagePath = test.alteredPackage([](std::vector<ArchiveMember>& members) {
                            members.push_back({"bin/helper", ArchiveMember::Kind::file, "#!/bin/sh\n", {}, 0, 0});
                        });
                    },
                    notVerified, true},
        FailureCase{"ChangedManifestVersion",
                    [](InstallerWorkflow& test, Sandbox& box) {
                        box.environment.packagePath = test.alteredPackage([](std::vector<ArchiveMember>& members) {
                            QByteArray& manifest = TestPackage::find(members, "Manifests/gloamyard-saver.json")->data;
                            manifest.replace("1.0.8", "1.0.80");
                        });
                    },
                    notMatching, true}),
    [](const auto& param) { return std::string(param.param.name); });

// ~/.xscreensaver that cannot be changed: the app is installed, the mode is
// not registered, and the file is exactly as it was.
struct SettingsFileCase {
    const char* name;
    QByteArray contents;
    QFileDevice::Permissions permissions;
    QString message;
};

class SettingsFileFailure : public InstallerWorkflow, public ::testing::WithParamInterface<SettingsFileCase> {};

TEST_P(SettingsFileFailure, LeavesTheFileAlone)
{
    Sandbox::write(settingsFile(), GetParam().contents);
    QFile::setPermissions(settingsFile(), GetParam().permissions);
    auto installer = makeInstaller();
    clickAndWait(*installer);
    expectFailedBefore(*installer, GetParam().message);
    EXPECT_EQ(Sandbox::read(settingsFile()), GetParam().contents);
    // (The "user" bits mirror the owner's for the file's owner; compare the rest.)
    const auto userBits = QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser;
    EXPECT_EQ(QFile::permissions(settingsFile()) & ~userBits, GetParam().permissions);
    EXPECT_FALSE(QFile::exists(settingsFile() + QStringLiteral(".gloamyard-backup")));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SettingsFileFailure,
    ::testing::Values(
        SettingsFileCase{"Damaged", QByteArray("timeout:\t0:10:00\nprograms:\t\\\n\0\0\x7f garbage", 32),
                         QFileDevice::ReadOwner | QFileDevice::WriteOwner,
                         QStringLiteral("Your XScreenSaver settings file (~/.xscreensaver) is damaged, so the "
                                        "screensaver was not added. Repair or rename that file, then click Retry "
                                        "Installation.")},
        SettingsFileCase{"ReadOnly", userSettings, QFileDevice::ReadOwner | QFileDevice::ReadGroup,
                         QStringLiteral("Your XScreenSaver settings file (~/.xscreensaver) is read-only, so the "
                                        "screensaver was not added. Make it writable, then click Retry "
                                        "Installation.")}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(InstallerWorkflow, ASecondInstallerWaitsForTheFirst)
{
    // The first one holds the installation while it looks for a running
    // app (a slow process list); the second is started meanwhile.
    const QString slow = sandbox.root() + QStringLiteral("/slow");
    const QByteArray pgrep = Sandbox::read(sandbox.bin() + QStringLiteral("/pgrep")).mid(10);
    sandbox.writeTool(QStringLiteral("pgrep"),
                      "while [ -f '" + QFile::encodeName(slow) + "' ]; do /bin/sleep 0.05; done\n" + pgrep);
    Sandbox::write(slow, "");
    auto first = makeInstaller();
    auto second = makeInstaller();
    first->performAction();
    waitUntil([&] { return QFile::exists(sandbox.environment.lockPath()); });
    clickAndWait(*second);
    QFile::remove(slow);
    expectFailedBefore(*second, QStringLiteral("Another Gloamyard installer is already at work. Let it finish, then "
                                               "click Retry Installation."));
    waitUntil([&] { return !first->busy(); });
    EXPECT_TRUE(first->registered()) << first->message()->text().toStdString();
    // Once the first is done, the second may go on.
    clickAndWait(*second);
    EXPECT_TRUE(second->registered());
}

TEST_F(InstallerWorkflow, TheRunningDaemonReloadsAndStaysAlive)
{
    QProcess* daemon = sandbox.start(sandbox.bin() + QStringLiteral("/xscreensaver"));
    sandbox.reportProcess(QStringLiteral("xscreensaver"), daemon->processId());
    installOnce();
    EXPECT_TRUE(sandbox.toolLog().contains(QStringLiteral("xscreensaver-command -restart")))
        << sandbox.toolLog().toStdString();
    EXPECT_EQ(daemon->state(), QProcess::Running);
    // Nothing started a second daemon.
    EXPECT_EQ(sandbox.programLog().count(QStringLiteral("/xscreensaver ")), 1);
}

// XScreenSaver's command exits non-zero when the daemon restarts before it
// answers; the restart still happened, so the install completes.
TEST_F(InstallerWorkflow, ARestartThatOutrunsItsAnswerStillCompletes)
{
    QProcess* daemon = sandbox.start(sandbox.bin() + QStringLiteral("/xscreensaver"));
    sandbox.reportProcess(QStringLiteral("xscreensaver"), daemon->processId());
    Sandbox::write(sandbox.root() + QStringLiteral("/pids/restart-before-answer"), "yes");
    auto installer = makeInstaller();
    clickAndWait(*installer);
    EXPECT_EQ(installer->heading()->text(), QStringLiteral("Installation complete"))
        << installer->message()->text().toStdString();
    EXPECT_EQ(daemon->state(), QProcess::Running);
}

TEST_F(InstallerWorkflow, ADaemonThatDoesNotComeBackIsStartedAgain)
{
    QProcess* daemon = sandbox.start(sandbox.bin() + QStringLiteral("/xscreensaver"));
    sandbox.reportProcess(QStringLiteral("xscreensaver"), daemon->processId());
    Sandbox::write(sandbox.root() + QStringLiteral("/pids/restart-ends-daemon"), "yes");
    installOnce();
    daemon->waitForFinished();
    EXPECT_TRUE(sandbox.programLog().contains(sandbox.bin() + QStringLiteral("/xscreensaver")) &&
                sandbox.programLog().contains(QStringLiteral("started --no-splash")))
        << sandbox.programLog().toStdString();
}

TEST_F(InstallerWorkflow, OpenSettingsAreClosedAndOpenedAgain)
{
    QProcess* settings = sandbox.start(sandbox.bin() + QStringLiteral("/xscreensaver-settings"));
    sandbox.reportProcess(QStringLiteral("xscreensaver-se"), settings->processId());
    installOnce();
    waitUntil([settings] { return settings->state() == QProcess::NotRunning; });
    EXPECT_EQ(settings->exitStatus(), QProcess::CrashExit); // ended by SIGTERM
    // Opened again once it was closed.
    EXPECT_TRUE(
        waitUntil([this] { return sandbox.programLog().count(QStringLiteral("/xscreensaver-settings ")) == 2; }));
}

TEST_F(InstallerWorkflow, SettingsThatWillNotCloseLeaveOneMoreStep)
{
    installOnce();
    QProcess* settings =
        sandbox.start(sandbox.bin() + QStringLiteral("/xscreensaver-settings"), {QStringLiteral("--ignore-term")});
    sandbox.reportProcess(QStringLiteral("xscreensaver-se"), settings->processId());
    auto installer = makeInstaller();
    clickAndWait(*installer); // installs again (a new window starts unregistered), then finishes
    EXPECT_EQ(installer->heading()->text(), failedAfter);
    EXPECT_EQ(installer->message()->text(), QStringLiteral("Close the XScreenSaver settings, then click Open "
                                                           "XScreenSaver Settings to finish."));
    EXPECT_EQ(installer->action()->text(), QStringLiteral("Open XScreenSaver Settings"));
    EXPECT_TRUE(installer->registered());
    EXPECT_EQ(settings->state(), QProcess::Running);
}

TEST_F(InstallerWorkflow, RefreshFailureAfterRegistration)
{
    auto installer = makeInstaller();
    // pgrep is first asked for the settings program (with nothing installed
    // yet, no app of ours can run), and fails.
    Sandbox::write(sandbox.root() + QStringLiteral("/pids/fail"), "pgrep exits 2");
    clickAndWait(*installer);
    EXPECT_EQ(installer->heading()->text(), failedAfter);
    EXPECT_EQ(installer->message()->text(),
              QStringLiteral("The screensaver is installed, but settings could not be refreshed. Click Open "
                             "XScreenSaver Settings to retry."));
    EXPECT_EQ(installer->action()->text(), QStringLiteral("Open XScreenSaver Settings"));

    // The next click only finishes: nothing is unpacked again, so a file
    // dropped into the installed tree (which a new tree would not have) stays.
    QFile::remove(sandbox.root() + QStringLiteral("/pids/fail"));
    const QString marker = appDir() + QStringLiteral("/marker");
    Sandbox::write(marker, "still the same tree");
    clickAndWait(*installer);
    EXPECT_EQ(installer->heading()->text(), QStringLiteral("Installation complete"));
    EXPECT_TRUE(QFile::exists(marker));
    // Whereas a new window installs again, and the marker goes with the old tree.
    auto another = makeInstaller();
    clickAndWait(*another);
    EXPECT_TRUE(another->registered());
    EXPECT_FALSE(QFile::exists(marker));
}

TEST_F(InstallerWorkflow, AModeDisabledSinceRegistrationFailsTheFinishingCheck)
{
    // A window that registered, but could not finish.
    auto installer = makeInstaller();
    Sandbox::write(sandbox.root() + QStringLiteral("/pids/fail"), "pgrep exits 2");
    clickAndWait(*installer);
    ASSERT_TRUE(installer->registered());
    QFile::remove(sandbox.root() + QStringLiteral("/pids/fail"));

    // The user disables the mode; the next click checks again.
    QByteArray text = Sandbox::read(settingsFile());
    text.replace("\t\t\t\tGL: \"Gloamyard\"", "-\t\t\tGL: \"Gloamyard\"");
    Sandbox::write(settingsFile(), text);
    clickAndWait(*installer);
    expectFailedBefore(*installer, QStringLiteral("The files are installed, but XScreenSaver has not made the "
                                                  "screensaver available. Retry installation."));
}

TEST_F(InstallerWorkflow, WithoutASettingsProgramTheUserIsToldWhereToGo)
{
    sandbox.removeTool(QStringLiteral("xscreensaver-settings"));
    auto installer = makeInstaller();
    EXPECT_FALSE(installer->modernSettings);
    clickAndWait(*installer);
    EXPECT_EQ(installer->heading()->text(), failedAfter);
    EXPECT_EQ(installer->message()->text(),
              QStringLiteral("Open XScreenSaver Preferences (xscreensaver-demo) and choose Gloamyard."));
    EXPECT_TRUE(installer->registered());
}

// Shapes of a user's mode list: the entry goes in whole and comes out
// again, every other entry read as before both times.
struct ListShape {
    const char* name;
    QByteArray settings;
    QList<QByteArray> entries; // as XScreenSaver reads them
    bool crlf = false;
};

class ModeListShapes : public InstallerWorkflow, public ::testing::WithParamInterface<ListShape> {};

TEST_P(ModeListShapes, InstallAndUninstallKeepEveryOtherEntry)
{
    Sandbox::write(settingsFile(), GetParam().settings);
    installOnce();
    const QByteArray installed = Sandbox::read(settingsFile());
    EXPECT_EQ(listedEntries(), GetParam().entries + QList<QByteArray>{ourEntry()}) << installed.data();
    if (GetParam().crlf) {
        EXPECT_EQ(installed.count("\r\n"), installed.count('\n')) << "every line still ends in CR LF";
    }
    EXPECT_EQ(uninstall(), QStringLiteral("Gloamyard was removed. Your Gloamyard settings were kept."));
    EXPECT_EQ(listedEntries(), GetParam().entries);
    if (GetParam().crlf) {
        EXPECT_EQ(Sandbox::read(settingsFile()), GetParam().settings);
    }
    EXPECT_FALSE(QFile::exists(settingsFile() + QStringLiteral(".gloamyard-backup")));
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, ModeListShapes,
    ::testing::Values(ListShape{"LastEntryContinuedWithoutSeparator",
                                "programs:\t\\\n\t\tmaze -root \\n\\\n\t\tflame -root \\\n\nlock: True\n",
                                {"maze -root", "flame -root"}},
                      ListShape{"LastEntryEndsTheListWithoutSeparator",
                                "programs:\t\\\n\t\tmaze -root \\n\\\n\t\tflame -root\nlock: True\n",
                                {"maze -root", "flame -root"}},
                      ListShape{"OneEntryOnTheKeyLine", "programs: flame -root\n", {"flame -root"}},
                      ListShape{
                          "WrittenWithCrLf",
                          "timeout:\t0:10:00\r\nprograms:\t\\\r\n\t\tmaze -root \\n\\\r\n\t\tflame -root \\n\\\r\n\r\n"
                          "lock: True\r\n",
                          {"maze -root", "flame -root"},
                          true}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(InstallerWorkflow, AFileMixingLineEndsIsLeftAloneAsDamaged)
{
    const QByteArray mixed = "programs:\t\\\r\n\t\tmaze -root \\n\\\n\t\tflame -root \\n\\\r\n\n";
    Sandbox::write(settingsFile(), mixed);
    auto installer = makeInstaller();
    clickAndWait(*installer);
    expectFailedBefore(*installer, QStringLiteral("Your XScreenSaver settings file (~/.xscreensaver) is damaged, so "
                                                  "the screensaver was not added. Repair or rename that file, then "
                                                  "click Retry Installation."));
    EXPECT_EQ(Sandbox::read(settingsFile()), mixed);
    EXPECT_FALSE(QFile::exists(appDir())) << "nothing installed either";
}

TEST_F(InstallerWorkflow, TheUsersOriginalIsKeptUntilTheUninstallHasFinished)
{
    Sandbox::write(settingsFile(), userSettings);
    installOnce();
    const QString backup = settingsFile() + QStringLiteral(".gloamyard-backup");
    EXPECT_EQ(Sandbox::read(backup), userSettings);
    // The user disables the mode; a second install enables it again and
    // writes the file once more. The copy aside is still the original.
    QByteArray disabled = Sandbox::read(settingsFile());
    disabled.replace("\t\t\t\tGL: \"Gloamyard\"", "-\t\t\tGL: \"Gloamyard\"");
    Sandbox::write(settingsFile(), disabled);
    installOnce();
    EXPECT_EQ(Sandbox::read(backup), userSettings);

    // An uninstall that cannot finish keeps it too.
    Sandbox::write(sandbox.root() + QStringLiteral("/pids/fail"), "pgrep exits 2");
    EXPECT_EQ(uninstall(), QStringLiteral("Quit Gloamyard, then run the uninstall again."));
    EXPECT_EQ(Sandbox::read(backup), userSettings);
    QFile::remove(sandbox.root() + QStringLiteral("/pids/fail"));
    EXPECT_EQ(uninstall(), QStringLiteral("Gloamyard was removed. Your Gloamyard settings were kept."));
    EXPECT_FALSE(QFile::exists(backup));
    EXPECT_EQ(Sandbox::read(settingsFile()), userSettings);
}

TEST_F(InstallerWorkflow, UninstallLeavesFilesItDidNotWrite)
{
    // An icon put there before, identical to ours (as `cmake --install`
    // writes it), and an entry of the same name written over ours later.
    const QString icon = sandbox.environment.iconThemeDir() + QStringLiteral("/16x16/apps/gloamyard.png");
    const QByteArray iconBytes =
        Sandbox::read(QStringLiteral(INSTALLER_TEST_FIXTURES "/Resources/Icons/hicolor/16x16/apps/gloamyard.png"));
    Sandbox::write(icon, iconBytes);
    installOnce();
    const QString entry = sandbox.environment.applicationsDir() + QStringLiteral("/net.gloamyard.Gloamyard.desktop");
    const QByteArray theirs =
        "[Desktop Entry]\nType=Application\nName=Gloamyard\nExec=/home/ann/.local/bin/gloamyard\n";
    Sandbox::write(entry, theirs);

    EXPECT_EQ(uninstall(), QStringLiteral("Gloamyard was removed. Your Gloamyard settings were kept."));
    EXPECT_EQ(Sandbox::read(entry), theirs);
    EXPECT_EQ(Sandbox::read(icon), iconBytes);
    // What was ours is gone.
    EXPECT_FALSE(
        QFile::exists(sandbox.environment.applicationsDir() + QStringLiteral("/gloamyard-saver-options.desktop")));
    EXPECT_FALSE(QFile::exists(sandbox.environment.iconThemeDir() + QStringLiteral("/48x48/apps/gloamyard.png")));
    EXPECT_FALSE(QFile::exists(appDir()));
}

TEST_F(InstallerWorkflow, AnInstallStoppedAfterTheSwapCanStillBeUndone)
{
    Sandbox::write(settingsFile(), userSettings);
    // The menus' folder cannot be made: the install stops after the new
    // tree is in place, before the menus and the settings are written.
    Sandbox::write(sandbox.environment.dataHome + QStringLiteral("/icons"), "a file in the way");
    const auto before = Sandbox::snapshot(sandbox.home());
    auto installer = makeInstaller();
    clickAndWait(*installer);
    expectFailedBefore(*installer, QStringLiteral("Your desktop couldn’t register Gloamyard. Retry installation."));
    ASSERT_TRUE(QFile::exists(appDir() + QStringLiteral("/.install-record.json")));
    // The user's file was not touched.
    EXPECT_EQ(Sandbox::read(settingsFile()), userSettings);

    EXPECT_EQ(uninstall(), QStringLiteral("Gloamyard was removed. Your Gloamyard settings were kept."));
    EXPECT_EQ(Sandbox::snapshot(sandbox.home()), before);
}

TEST_F(InstallerWorkflow, AnExistingIconCacheIsRefreshed)
{
    sandbox.writeTool(QStringLiteral("gtk-update-icon-cache"),
                      "echo \"gtk-update-icon-cache $*\" >> '" + QFile::encodeName(sandbox.root()) + "/tools.log'\n");
    installOnce();
    EXPECT_FALSE(sandbox.toolLog().contains(QStringLiteral("gtk-update-icon-cache"))) << "no cache, nothing to refresh";
    Sandbox::write(sandbox.environment.iconThemeDir() + QStringLiteral("/icon-theme.cache"), "cache");
    installOnce();
    EXPECT_TRUE(
        sandbox.toolLog().contains(QStringLiteral("gtk-update-icon-cache --force --ignore-theme-index --quiet ") +
                                   sandbox.environment.iconThemeDir()))
        << sandbox.toolLog().toStdString();
}

TEST_F(InstallerWorkflow, AWedgedToolIsEndedAtItsDeadlineAndNamed)
{
    QProcess* daemon = sandbox.start(sandbox.bin() + QStringLiteral("/xscreensaver"));
    sandbox.reportProcess(QStringLiteral("xscreensaver"), daemon->processId());
    sandbox.writeTool(QStringLiteral("xscreensaver-command"), "exec /bin/sleep 600\n");
    sandbox.environment.toolDeadlines[QStringLiteral("xscreensaver-command")] = 0.5;
    auto installer = makeInstaller();
    clickAndWait(*installer);
    EXPECT_EQ(installer->heading()->text(), failedAfter);
    EXPECT_EQ(installer->message()->text(),
              QStringLiteral("“xscreensaver-command” did not finish within 0.5 seconds. The screensaver is installed, "
                             "but settings could not be refreshed. Click Open XScreenSaver Settings to retry."));
    EXPECT_FALSE(installer->busy());
    EXPECT_EQ(daemon->state(), QProcess::Running) << "the screen locker is kept";
}

TEST_F(InstallerWorkflow, ANewListStartsFromTheFirstDefaultsThatHaveOne)
{
    sandbox.environment.xscreensaverDefaults = {sandbox.root() + QStringLiteral("/no-such/XScreenSaver"),
                                                QStringLiteral(INSTALLER_TEST_FIXTURES "/XScreenSaver.defaults")};
    installOnce();
    EXPECT_EQ(listedEntries().size(), 5);
}

TEST_F(InstallerWorkflow, WithoutDefaultsNoListOfOursAloneIsWritten)
{
    sandbox.environment.xscreensaverDefaults = {sandbox.root() + QStringLiteral("/no-such/XScreenSaver")};
    auto installer = makeInstaller();
    clickAndWait(*installer);
    expectFailedBefore(*installer, QStringLiteral("XScreenSaver’s list of display modes was not found, so the "
                                                  "screensaver was not added. Open the XScreenSaver settings once and "
                                                  "save them, then click Retry Installation."));
    EXPECT_FALSE(QFile::exists(settingsFile()));
}

TEST(InstallerEnvironment, XScreenSaversDefaultsAreLookedForWhereXLooks)
{
    const QByteArray saved = qgetenv("XAPPLRESDIR");
    qputenv("XAPPLRESDIR", "/home/ann/app-defaults");
    const InstallerEnvironment environment = InstallerEnvironment::fromProcess();
    qputenv("XAPPLRESDIR", saved);
    EXPECT_EQ(environment.xscreensaverDefaults,
              QStringList({QStringLiteral("/home/ann/app-defaults/XScreenSaver"),
                           QStringLiteral("/etc/X11/app-defaults/XScreenSaver"),
                           QStringLiteral("/usr/share/X11/app-defaults/XScreenSaver")}));
}

// Hits of the process list that must be left alone: the daemon reported
// under the settings program's truncated name, another user's settings,
// and process numbers never to be signalled.
struct ProcessHit {
    const char* name;
    // Starts what is reported and returns the number pgrep gives, and
    // whether a real process of ours stands behind it.
    std::function<qint64(Sandbox&, QProcess** started)> report;
};

class ProcessListHit : public InstallerWorkflow, public ::testing::WithParamInterface<ProcessHit> {};

TEST_P(ProcessListHit, IsLeftAlone)
{
    QProcess* started = nullptr;
    const qint64 pid = GetParam().report(sandbox, &started);
    sandbox.reportProcess(QStringLiteral("xscreensaver-se"), pid);
    auto installer = makeInstaller();
    clickAndWait(*installer);
    EXPECT_EQ(installer->heading()->text(), QStringLiteral("Installation complete"))
        << installer->message()->text().toStdString();
    if (started) {
        EXPECT_EQ(started->state(), QProcess::Running);
    }
    if (pid <= 1 || pid == getpid()) {
        // Not even looked at.
        EXPECT_FALSE(sandbox.toolLog().contains(QStringLiteral("ps -p %1 ").arg(pid)))
            << sandbox.toolLog().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ProcessListHit,
    ::testing::Values(ProcessHit{"DaemonUnderTheSettingsName",
                                 [](Sandbox& box, QProcess** started) {
                                     *started = box.start(box.bin() + QStringLiteral("/xscreensaver"));
                                     return (*started)->processId();
                                 }},
                      ProcessHit{"AnotherUsersSettings",
                                 [](Sandbox& box, QProcess** started) {
                                     *started = box.start(box.bin() + QStringLiteral("/xscreensaver-settings"));
                                     box.reportOwner((*started)->processId(), Sandbox::user + 1);
                                     return (*started)->processId();
                                 }},
                      ProcessHit{"ProcessZero", [](Sandbox&, QProcess**) { return qint64{0}; }},
                      ProcessHit{"Init", [](Sandbox&, QProcess**) { return qint64{1}; }},
                      ProcessHit{"TheInstallerItself", [](Sandbox&, QProcess**) { return qint64{getpid()}; }}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(InstallerWorkflow, FailuresCarryTheInstallersErrorDomain)
{
    // A refused uninstall reaches its caller as the installer's own error.
    sandbox.environment.uid = sandbox.environment.euid = 0;
    GloamyardInstaller uninstaller(sandbox.environment, sandbox.trust);
    std::optional<InstallerError> caught;
    bool ended = false;
    auto job = [](GloamyardInstaller* owner, std::optional<InstallerError>* out, bool* done) -> async::Task<void> {
        try {
            auto work = owner->uninstall();
            co_await std::move(work);
        } catch (const InstallerError& error) {
            out->emplace(error);
        }
        *done = true;
    };
    async::spawn(job(&uninstaller, &caught, &ended));
    waitUntil([&ended] { return ended; });
    ASSERT_TRUE(caught.has_value());
    EXPECT_EQ(caught->domain(), QStringLiteral("GloamyardInstaller"));
    EXPECT_EQ(caught->code(), 1);
    EXPECT_EQ(caught->localizedDescription(), noAdmin);
}

} // namespace
} // namespace gloam::installer::test
