// The whole install in a sandbox home with fake tools: first install,
// repair, uninstall, and every way it can fail.
#include "installer/GloamyardInstaller.h"
#include "installer/InstallerError.h"
#include "installer/PackageVerifier.h"
#include "installer/XScreenSaverPrograms.h"
#include "platform/async/TaskHandle.h"
#include "tests/installer/Sandbox.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLockFile>
#include <QProcess>
#include <QPushButton>

#include <gtest/gtest.h>

#include <openssl/evp.h>

#include <memory>

#include <signal.h>

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

    QString appDir() const { return sandbox.environment.appDir(); }
    QString settingsFile() const { return sandbox.home() + QStringLiteral("/.xscreensaver"); }

    std::unique_ptr<GloamyardInstaller> makeInstaller()
    {
        auto installer = std::make_unique<GloamyardInstaller>(sandbox.environment);
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

    // A copy of the good package with one change made to its files, re-signed
    // or not.
    QString alteredPackage(const std::function<void(const QString& tree)>& change)
    {
        const QString tree = sandbox.root() + QStringLiteral("/altered");
        QDir().mkpath(tree);
        EXPECT_EQ(QProcess::execute(QStringLiteral("tar"), {QStringLiteral("-x"), QStringLiteral("-f"),
                                                            Sandbox::package("good.pkg"), QStringLiteral("-C"), tree}),
                  0);
        change(tree);
        const QString out = sandbox.root() + QStringLiteral("/altered.pkg");
        const QStringList top = QDir(tree).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        EXPECT_EQ(QProcess::execute(
                      QStringLiteral("tar"),
                      QStringList{QStringLiteral("-c"), QStringLiteral("-f"), out, QStringLiteral("-C"), tree} + top),
                  0);
        return out;
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

    // The installed tree, checked file by file against the signed manifest.
    const auto trust = GloamyardInstaller::Trust::builtIn();
    const PackageVerifier installed(appDir(),
                                    {trust.team, trust.publicKey, QStringLiteral("1.0.8"), QStringLiteral("71")});
    QDir(appDir()).remove(QStringLiteral(".install-record.json"));
    QString why;
    EXPECT_TRUE(installed.signatureAndFilesValid({installer->appID, installer->extensionID}, &why))
        << why.toStdString();
    EXPECT_TRUE(stagingLeft().isEmpty());

    // Desktop entries name the installed programs.
    const QByteArray appEntry =
        Sandbox::read(sandbox.environment.applicationsDir() + QStringLiteral("/net.gloamyard.Gloamyard.desktop"));
    EXPECT_TRUE(appEntry.contains("\nExec=" + QFile::encodeName(appDir()) + "/bin/gloamyard\n")) << appEntry.data();
    const QByteArray optionsEntry =
        Sandbox::read(sandbox.environment.applicationsDir() + QStringLiteral("/gloamyard-saver-options.desktop"));
    EXPECT_TRUE(optionsEntry.contains("\nExec=" + QFile::encodeName(appDir()) + "/bin/gloamyard-saver --configure\n"));
    EXPECT_TRUE(
        sandbox.toolLog().contains(QStringLiteral("update-desktop-database ") + sandbox.environment.applicationsDir()));

    // The mode is appended, enabled; every other byte of the file stays.
    const QByteArray written = Sandbox::read(settingsFile());
    const QByteArray entry = "GL: \"Gloamyard\" " + QFile::encodeName(appDir()) + "/bin/gloamyard-saver -root";
    QByteArray expected = userSettings;
    expected.replace("    \\n\\\n\n", "    \\n\\\n\t\t\t\t" + entry + "\t\\n\\\n\n");
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

    GloamyardInstaller uninstaller(sandbox.environment);
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
    EXPECT_EQ(said, QStringLiteral("Gloamyard was removed. Your Gloamyard settings were kept."));

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

QByteArray signWith(EVP_PKEY* key, const QByteArray& message)
{
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    unsigned char signature[64];
    size_t length = sizeof(signature);
    EVP_DigestSignInit(context, nullptr, nullptr, nullptr, key);
    EVP_DigestSign(context, signature, &length, reinterpret_cast<const unsigned char*>(message.constData()),
                   static_cast<size_t>(message.size()));
    EVP_MD_CTX_free(context);
    return QByteArray(reinterpret_cast<const char*>(signature), static_cast<qsizetype>(length));
}

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
                        box.environment.packagePath = box.root() + QStringLiteral("/Install Gloamyard.pkg");
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
                    [](InstallerWorkflow&, Sandbox& box) {
                        // tar writes part of a program, then the disk is full.
                        box.writeTool(QStringLiteral("tar"), "dir=\"$6\"\n"
                                                             "/bin/mkdir -p \"$dir/bin\"\n"
                                                             "printf 'half a program' > \"$dir/bin/gloamyard\"\n"
                                                             "echo 'tar: bin/gloamyard: Cannot write: No space left "
                                                             "on device' >&2\n"
                                                             "exit 2\n");
                    },
                    unpackFailed, true},
        FailureCase{"AnotherVersion",
                    [](InstallerWorkflow&, Sandbox& box) {
                        box.environment.packagePath = Sandbox::package("version-1.0.7.pkg");
                    },
                    notMatching, true},
        FailureCase{"TamperedFile",
                    [](InstallerWorkflow& test, Sandbox& box) {
                        box.environment.packagePath = test.alteredPackage([](const QString& tree) {
                            Sandbox::write(tree + QStringLiteral("/share/gloamyard/Resources/PropTargets.json"),
                                           "tampered");
                        });
                    },
                    notVerified, true},
        FailureCase{"ExtraFile",
                    [](InstallerWorkflow& test, Sandbox& box) {
                        box.environment.packagePath = test.alteredPackage([](const QString& tree) {
                            Sandbox::write(tree + QStringLiteral("/bin/helper"), "#!/bin/sh\n");
                        });
                    },
                    notVerified, true},
        FailureCase{"WrongSignature",
                    [](InstallerWorkflow& test, Sandbox& box) {
                        box.environment.packagePath = test.alteredPackage([](const QString& tree) {
                            EVP_PKEY* other = EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519");
                            Sandbox::write(tree + QStringLiteral("/FileManifest.sig"),
                                           signWith(other, Sandbox::read(tree + QStringLiteral("/FileManifest"))));
                            EVP_PKEY_free(other);
                        });
                    },
                    notVerified, true},
        FailureCase{"ChangedManifestVersion",
                    [](InstallerWorkflow& test, Sandbox& box) {
                        box.environment.packagePath = test.alteredPackage([](const QString& tree) {
                            const QString manifest = tree + QStringLiteral("/Manifests/gloamyard-saver.json");
                            Sandbox::write(manifest, Sandbox::read(manifest).replace("1.0.8", "1.0.80"));
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
    // The first one is slow to unpack; the second is started meanwhile.
    sandbox.writeTool(QStringLiteral("tar"), "/bin/sleep 1\nexec /bin/tar \"$@\"\n");
    auto first = makeInstaller();
    auto second = makeInstaller();
    first->performAction();
    waitUntil([&] { return first->status()->text() == QStringLiteral("Installing the app and screensaver…"); });
    clickAndWait(*second);
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

    // The next click only finishes: nothing is unpacked again.
    QFile::remove(sandbox.root() + QStringLiteral("/pids/fail"));
    const int unpacks = sandbox.toolLog().count(QStringLiteral("tar"));
    clickAndWait(*installer);
    EXPECT_EQ(installer->heading()->text(), QStringLiteral("Installation complete"));
    EXPECT_EQ(sandbox.toolLog().count(QStringLiteral("tar")), unpacks);
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

TEST_F(InstallerWorkflow, FailuresCarryTheInstallersErrorDomain)
{
    const InstallerError error =
        GloamyardInstaller::failure(QStringLiteral("Quit Gloamyard, then click Retry Installation."));
    EXPECT_EQ(error.domain(), QStringLiteral("GloamyardInstaller"));
    EXPECT_EQ(error.code(), 1);
    EXPECT_EQ(error.localizedDescription(), QStringLiteral("Quit Gloamyard, then click Retry Installation."));
}

} // namespace
} // namespace gloam::installer::test
