#include "installer/GloamyardInstaller.h"

#include "installer/DesktopEntries.h"
#include "installer/InstallRecord.h"
#include "installer/InstallTree.h"
#include "installer/InstallerIdentity.h"
#include "installer/InstallerWindow.h"
#include "installer/PackageVerifier.h"
#include "installer/ProcessExit.h"
#include "installer/XScreenSaverPrograms.h"
#include "installer/XScreenSaverSettingsFile.h"
#include "platform/async/Suspensions.h"
#include "platform/async/TaskHandle.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QLabel>
#include <QLockFile>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

#include <cerrno>

#include <signal.h>

namespace gloam::installer {

namespace {

// The texts the installer shows.
const QString rootMessage =
    QStringLiteral("Open this installer from your normal account, without administrator commands.");
const QString noHomeMessage =
    QStringLiteral("Your home folder is not set (HOME is empty). Open this installer from your desktop session.");
const QString lockedMessage =
    QStringLiteral("Another Gloamyard installer is already at work. Let it finish, then click Retry Installation.");
const QString quitAppMessage = QStringLiteral("Quit Gloamyard, then click Retry Installation.");
const QString packageMissingMessage =
    QStringLiteral("The installation package is missing. Download the installer again.");
const QString noXScreenSaverMessage =
    QStringLiteral("XScreenSaver is not installed. Install it (for example with “sudo apt install xscreensaver”), "
                   "then click Retry Installation.");
const QString installingHeading = QStringLiteral("Installing Gloamyard");
const QString installingStatus = QStringLiteral("Installing the app and screensaver…");
const QString unpackMessage =
    QStringLiteral("The package installation couldn’t finish. Quit Gloamyard if it is open, then retry.");
const QString verifyingStatus = QStringLiteral("Verifying the installed files…");
const QString mismatchMessage = QStringLiteral("The installed files don’t match this installer. Retry installation.");
const QString unverifiedMessage =
    QStringLiteral("The installed files could not be verified. Download the installer again.");
const QString startCheckMessage =
    QStringLiteral("The installed app did not start and report its version. Retry installation.");
const QString registeringStatus = QStringLiteral("Adding Gloamyard to the XScreenSaver settings…");
const QString desktopMessage = QStringLiteral("Your desktop couldn’t register Gloamyard. Retry installation.");
const QString screensaverMessage =
    QStringLiteral("XScreenSaver couldn’t register the screensaver. Retry installation.");
const QString damagedMessage =
    QStringLiteral("Your XScreenSaver settings file (~/.xscreensaver) is damaged, so the screensaver was not added. "
                   "Repair or rename that file, then click Retry Installation.");
const QString readOnlyMessage =
    QStringLiteral("Your XScreenSaver settings file (~/.xscreensaver) is read-only, so the screensaver was not "
                   "added. Make it writable, then click Retry Installation.");
const QString notAvailableMessage = QStringLiteral(
    "The files are installed, but XScreenSaver has not made the screensaver available. Retry installation.");
const QString refreshingStatus = QStringLiteral("Refreshing the XScreenSaver settings…");
const QString closeSettingsMessage =
    QStringLiteral("Close the XScreenSaver settings, then click Open XScreenSaver Settings to finish.");
const QString refreshMessage = QStringLiteral(
    "The screensaver is installed, but settings could not be refreshed. Click Open XScreenSaver Settings to retry.");
const QString completeHeading = QStringLiteral("Installation complete");
const QString modernInstructions =
    QStringLiteral("In XScreenSaver Settings, choose Gloamyard under Display Modes.\n"
                   "Use Gloamyard Screen Saver Options to pick a vehicle and turn on sound, which is off by default.");
const QString legacyInstructions =
    QStringLiteral("Choose Gloamyard in XScreenSaver Preferences.\n"
                   "Use Gloamyard Screen Saver Options to pick a vehicle and turn on sound, which is off by default.");
const QString completeStatus = QStringLiteral("The companion app is in your desktop’s applications menu.");
const QString modernOpenMessage =
    QStringLiteral("Open XScreenSaver Settings (xscreensaver-settings) and choose Gloamyard.");
const QString legacyOpenMessage =
    QStringLiteral("Open XScreenSaver Preferences (xscreensaver-demo) and choose Gloamyard.");
const QString failedAfterHeading = QStringLiteral("Installed — one more step");
const QString failedBeforeHeading = QStringLiteral("Setup couldn’t finish");
const QString retryTitle = QStringLiteral("Retry Installation");

// Uninstall texts (printed on the command line).
const QString quitForUninstallMessage = QStringLiteral("Quit Gloamyard, then run the uninstall again.");
const QString damagedUninstallMessage =
    QStringLiteral("Your XScreenSaver settings file (~/.xscreensaver) is damaged; nothing was removed. Repair or "
                   "rename that file, then run the uninstall again.");
const QString readOnlyUninstallMessage =
    QStringLiteral("Your XScreenSaver settings file (~/.xscreensaver) is read-only; nothing was removed. Make it "
                   "writable, then run the uninstall again.");
const QString uninstallWriteMessage =
    QStringLiteral("Gloamyard could not be removed from your XScreenSaver settings; nothing else was removed.");
const QString removedMessage = QStringLiteral("Gloamyard was removed. Your Gloamyard settings were kept.");
const QString notInstalledMessage = QStringLiteral("Gloamyard is not installed.");

// How the display mode is started: XScreenSaver also passes its window in
// XSCREENSAVER_WINDOW.
const QByteArray displayModeName = "Gloamyard";
const QByteArray displayModeArguments = "-root";

// How long the installed app may take to report its version.
constexpr double startCheckSeconds = 30;
// How long the XScreenSaver daemon may take to come back after -restart.
constexpr double daemonReturnSeconds = 8;

QString sha256Hex(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QString canonical(const QString& path)
{
    return path.isEmpty() ? QString() : QFileInfo(path).canonicalFilePath();
}

// Removes a staging folder when the install leaves it, whichever way.
struct StagingGuard {
    QString path;
    ~StagingGuard() { InstallTree::discard(path); }
};

QList<QByteArray> defaultProgramList(const QString& defaultsFile)
{
    QFile file(defaultsFile);
    QList<QByteArray> entries;
    if (file.open(QIODevice::ReadOnly)) {
        const XScreenSaverPrograms defaults(file.readAll(), "*programs:");
        for (const auto& entry : defaults.entries()) {
            entries.append(entry.text);
        }
    }
    return entries;
}

} // namespace

const QString GloamyardInstaller::introText = QStringLiteral(
    "Install the screensaver and companion app for your account.\nThe XScreenSaver settings will briefly close and "
    "reopen.");
const QString GloamyardInstaller::openSettingsTitle = QStringLiteral("Open XScreenSaver Settings");

GloamyardInstaller::Trust GloamyardInstaller::Trust::builtIn()
{
    return {QString::fromLatin1(InstallerIdentity::team), QByteArray::fromHex(InstallerIdentity::publicKey)};
}

GloamyardInstaller::GloamyardInstaller(InstallerEnvironment environment, Trust trust)
    : appID(QString::fromLatin1(InstallerIdentity::appID))
    , extensionID(QString::fromLatin1(InstallerIdentity::extensionID))
    , version(QString::fromLatin1(InstallerIdentity::version))
    , build(QString::fromLatin1(InstallerIdentity::build))
    , team(trust.team)
    , modernSettings(!environment.findTool(QStringLiteral("xscreensaver-settings")).isEmpty())
    , environment_(std::move(environment))
    , trust_(std::move(trust))
{}

GloamyardInstaller::~GloamyardInstaller()
{
    delete window_;
}

InstallerError GloamyardInstaller::failure(const QString& message)
{
    return InstallerError(QString::fromLatin1(InstallerError::installerDomain), 1, message);
}

void GloamyardInstaller::applicationDidFinishLaunching()
{
    window_ = new InstallerWindow([this] { return windowShouldClose(); });
    window_->setWindowTitle(QStringLiteral("Install Gloamyard"));
    window_->setFixedSize(540, 390);

    auto* icon = new QLabel(window_);
    icon->setFixedSize(80, 80);
    icon->setAlignment(Qt::AlignCenter);
    const QIcon appIcon = QApplication::windowIcon();
    if (!appIcon.isNull()) {
        icon->setPixmap(appIcon.pixmap(80, 80));
    }

    heading_ = new QLabel(QStringLiteral("Gloamyard"), window_);
    QFont headingFont = heading_->font();
    headingFont.setPointSizeF(26);
    headingFont.setWeight(QFont::DemiBold);
    heading_->setFont(headingFont);
    heading_->setAlignment(Qt::AlignCenter);
    heading_->setWordWrap(true); // the longer headings must not be cut at the window's edges

    message_ = new QLabel(introText, window_);
    QFont messageFont = message_->font();
    messageFont.setPointSizeF(14);
    message_->setFont(messageFont);
    message_->setAlignment(Qt::AlignCenter);
    message_->setWordWrap(true);

    status_ = new QLabel(window_);
    QFont statusFont = status_->font();
    statusFont.setPointSizeF(12);
    status_->setFont(statusFont);
    status_->setAlignment(Qt::AlignCenter);
    status_->setWordWrap(true);
    status_->setForegroundRole(QPalette::PlaceholderText);

    // A busy bar stands in for the spinner; it shows only while working.
    progress_ = new QProgressBar(window_);
    progress_->setRange(0, 0);
    progress_->setTextVisible(false);
    progress_->setFixedSize(120, 8);
    progress_->hide();

    action_ = new QPushButton(QStringLiteral("Install"), window_);
    action_->setDefault(true);
    action_->setAutoDefault(true);
    action_->setMinimumWidth(180);
    action_->setMinimumHeight(32);
    connect(action_, &QPushButton::clicked, this, [this] { performAction(); });
    // Return (and Enter) press the button anywhere in the window.
    for (const int key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), window_);
        connect(shortcut, &QShortcut::activated, action_, &QPushButton::animateClick);
    }

    auto* stack = new QVBoxLayout(window_);
    stack->setContentsMargins(32, 26, 32, 0);
    stack->setSpacing(16);
    stack->addWidget(icon, 0, Qt::AlignHCenter);
    stack->addWidget(heading_);
    stack->addWidget(message_);
    stack->addWidget(progress_, 0, Qt::AlignHCenter);
    stack->addWidget(status_);
    stack->addWidget(action_, 0, Qt::AlignHCenter);
    stack->addStretch(1);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        window_->move(screen->availableGeometry().center() - window_->rect().center());
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
    action_->setFocus();
}

void GloamyardInstaller::performAction()
{
    if (busy_) {
        return;
    }
    setBusy(true);
    async::spawn(run(registered_));
}

async::Task<void> GloamyardInstaller::run(bool wasRegistered)
{
    try {
        if (wasRegistered) {
            co_await finishSetup();
        } else {
            co_await installAndRegister();
            co_await finishSetup();
        }
    } catch (const std::exception& error) {
        if (heading_) {
            heading_->setText(registered_ ? failedAfterHeading : failedBeforeHeading);
            message_->setText(QString::fromUtf8(error.what()));
            status_->clear();
            action_->setText(registered_ ? openSettingsTitle : retryTitle);
        }
        setBusy(false);
    }
}

void GloamyardInstaller::setBusy(bool flag)
{
    busy_ = flag;
    if (action_) {
        action_->setEnabled(!flag);
        progress_->setVisible(flag);
    }
    if (!flag) {
        releaseLock();
    }
    emit busyChanged(flag);
}

void GloamyardInstaller::makeFolder(const QString& path)
{
    QStringList missing;
    for (QString folder = QDir::cleanPath(path); !QFileInfo::exists(folder) && folder != QStringLiteral("/");
         folder = QFileInfo(folder).absolutePath()) {
        missing.prepend(folder);
    }
    QDir().mkpath(path);
    for (const QString& folder : missing) {
        if (QFileInfo(folder).isDir() && !createdFolders_.contains(folder)) {
            createdFolders_.append(folder);
        }
    }
}

void GloamyardInstaller::requireHomeAndLock()
{
    if (!environment_.hasHome()) {
        throw failure(noHomeMessage);
    }
    if (lock_) {
        return;
    }
    createdFolders_.clear();
    makeFolder(environment_.dataHome);
    auto lock = std::make_unique<QLockFile>(environment_.lockPath());
    // Never broken for its age: an install may take long. A lock whose
    // process has gone is still taken over.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        throw failure(lockedMessage);
    }
    lock_ = std::move(lock);
}

void GloamyardInstaller::releaseLock()
{
    if (lock_) {
        lock_->unlock();
        lock_.reset();
    }
}

async::Task<CommandResult> GloamyardInstaller::runTool(QString name, QStringList arguments)
{
    const QString path = environment_.findTool(name);
    if (path.isEmpty()) {
        throw InstallerError::system(name + QStringLiteral(": the program was not found"));
    }
    auto run = command(path, std::move(arguments), environment_.toolEnvironment());
    co_return co_await std::move(run);
}

async::Task<std::vector<pid_t>> GloamyardInstaller::userProcesses(QString name, QString executable,
                                                                  QString failureMessage)
{
    std::vector<pid_t> found;
    const QString wanted = canonical(executable);
    if (wanted.isEmpty()) {
        co_return found; // nothing installed there, so nothing of it runs
    }
    const QString uid = QString::number(environment_.uid);
    // pgrep matches the kernel's process name, which keeps 15 characters.
    // Calls are made before each co_await, never inside one: GCC 12
    // miscompiles temporaries (braced lists, lambdas) in a co_await expression.
    const QStringList pgrepArguments{QStringLiteral("-u"), uid, QStringLiteral("-x"), name.left(15)};
    auto pgrep = runTool(QStringLiteral("pgrep"), pgrepArguments);
    const CommandResult listed = co_await std::move(pgrep);
    if (listed.code > 1 || listed.code < 0) {
        throw failure(failureMessage);
    }
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    for (const QString& piece : listed.output.split(blanks, Qt::SkipEmptyParts)) {
        bool number = false;
        const int pid = piece.toInt(&number, 10);
        if (!number || pid <= 1 || pid == environment_.pid) {
            continue;
        }
        const QStringList psArguments{QStringLiteral("-p"),   QString::number(pid), QStringLiteral("-o"),
                                      QStringLiteral("uid="), QStringLiteral("-o"), QStringLiteral("stat=")};
        auto ps = runTool(QStringLiteral("ps"), psArguments);
        const CommandResult owner = co_await std::move(ps);
        if (owner.code != 0) {
            continue;
        }
        const QStringList parts = owner.output.trimmed().split(blanks, Qt::SkipEmptyParts);
        if (parts.size() != 2 || parts[0] != uid || parts[1].startsWith(u'Z')) {
            continue;
        }
        // The executable the kernel started, not a name the process gave itself.
        if (QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget() != wanted) {
            continue;
        }
        found.push_back(pid);
    }
    co_return found;
}

async::Task<void> GloamyardInstaller::refuseWhileAppRuns(QString message)
{
    auto find = userProcesses(QStringLiteral("gloamyard"), environment_.appProgram(), message);
    const auto running = co_await std::move(find);
    if (!running.empty()) {
        throw failure(message);
    }
}

QByteArray GloamyardInstaller::displayModeEntry() const
{
    return XScreenSaverPrograms::entryFor(displayModeName, QFile::encodeName(environment_.saverProgram()),
                                          displayModeArguments);
}

async::Task<void> GloamyardInstaller::installAndRegister()
{
    // 1. Never as root or through set-uid or set-gid.
    if (environment_.uid == 0 || environment_.uid != environment_.euid || environment_.gid != environment_.egid) {
        throw failure(rootMessage);
    }
    requireHomeAndLock();
    // 2. Not under a running app.
    auto refuse = refuseWhileAppRuns(quitAppMessage);
    co_await std::move(refuse);
    // 3. The package, and XScreenSaver to register with.
    if (!QFileInfo(environment_.packagePath).isFile()) {
        throw failure(packageMissingMessage);
    }
    if (environment_.findTool(QStringLiteral("xscreensaver")).isEmpty() ||
        environment_.findTool(QStringLiteral("xscreensaver-command")).isEmpty()) {
        throw failure(noXScreenSaverMessage);
    }
    // 4.
    heading_->setText(installingHeading);
    status_->setText(installingStatus);

    // 5. Unpack beside the installed tree; the installed tree stays untouched.
    const InstallTree tree(environment_.appDir());
    tree.recover();
    const InstallRecord previous = InstallRecord::load(tree.path());
    QString why;
    StagingGuard staging{tree.makeStaging(&why)};
    if (staging.path.isEmpty()) {
        throw failure(unpackMessage);
    }
    const QStringList tarArguments{QStringLiteral("-x"), QStringLiteral("--no-same-owner"),
                                   QStringLiteral("-f"), environment_.packagePath,
                                   QStringLiteral("-C"), staging.path};
    auto tar = runTool(QStringLiteral("tar"), tarArguments);
    const CommandResult unpacked = co_await std::move(tar);
    if (unpacked.code != 0) {
        throw failure(unpackMessage);
    }

    // 6, 7. What was unpacked is exactly what this installer was built for,
    // checked before it replaces anything.
    status_->setText(verifyingStatus);
    const PackageVerifier verifier(staging.path, {trust_.team, trust_.publicKey, version, build});
    const std::pair<QString, QString> manifests[] = {
        {QStringLiteral("Manifests/gloamyard.json"), appID},
        {QStringLiteral("Manifests/gloamyard-saver.json"), extensionID},
    };
    for (const auto& [manifest, identifier] : manifests) {
        if (!verifier.programManifestMatches(manifest, identifier)) {
            throw failure(mismatchMessage);
        }
    }
    if (!verifier.signatureAndFilesValid({appID, extensionID})) {
        throw failure(unverifiedMessage);
    }
    if (!tree.replaceWith(staging.path, &why)) {
        throw failure(unpackMessage);
    }

    // 8. The installed app starts and reports this version.
    QProcessEnvironment headless = environment_.toolEnvironment();
    headless.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const QStringList versionArguments{QStringLiteral("--version")};
    auto start = command(environment_.appProgram(), versionArguments, headless, startCheckSeconds);
    const CommandResult started = co_await std::move(start);
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    if (started.code != 0 || !started.output.split(blanks, Qt::SkipEmptyParts).contains(version)) {
        throw failure(startCheckMessage);
    }

    // 9, 10. Desktop entries.
    status_->setText(registeringStatus);
    InstallRecord record = previous;
    makeFolder(environment_.applicationsDir());
    record.desktopEntries = DesktopEntries(tree.path(), environment_.applicationsDir()).install(&why);
    if (!why.isEmpty()) {
        throw failure(desktopMessage);
    }
    if (!environment_.findTool(QStringLiteral("update-desktop-database")).isEmpty()) {
        const QStringList databaseArguments{environment_.applicationsDir()};
        auto update = runTool(QStringLiteral("update-desktop-database"), databaseArguments);
        const CommandResult database = co_await std::move(update);
        if (database.code != 0) {
            throw failure(desktopMessage);
        }
    }

    // 11. The display mode in ~/.xscreensaver.
    bool created = false;
    bool seeded = false;
    QString written;
    registerDisplayMode(&created, &seeded, &written);
    record.createdSettingsFile = record.createdSettingsFile || created;
    record.seededProgramsList = record.seededProgramsList || seeded;
    if (!written.isEmpty()) {
        record.settingsWritten = written;
    }
    for (const QString& folder : createdFolders_) {
        if (!record.createdFolders.contains(folder)) {
            record.createdFolders.append(folder);
        }
    }
    if (!record.save(tree.path(), &why)) {
        throw failure(desktopMessage);
    }

    // 12, 13.
    co_await verifyRegistration();
    registered_ = true;
}

void GloamyardInstaller::registerDisplayMode(bool* created, bool* seeded, QString* written)
{
    const XScreenSaverSettingsFile file(environment_.xscreensaverFile());
    QByteArray text;
    switch (file.read(&text)) {
    case XScreenSaverSettingsFile::State::damaged:
        throw failure(damagedMessage);
    case XScreenSaverSettingsFile::State::unreadable:
        throw failure(screensaverMessage);
    case XScreenSaverSettingsFile::State::missing:
        *created = true;
        break;
    case XScreenSaverSettingsFile::State::readable:
        break;
    }
    XScreenSaverPrograms programs(text);
    QList<QByteArray> seed;
    if (!programs.hasList()) {
        // A list of ours alone would hide every mode XScreenSaver offers.
        seed = defaultProgramList(environment_.xscreensaverDefaults);
        *seeded = true;
    }
    if (!programs.add(displayModeEntry(), QFile::encodeName(environment_.saverProgram()), seed)) {
        return;
    }
    if (file.isReadOnly()) {
        throw failure(readOnlyMessage);
    }
    QString why;
    if (!file.write(programs.text(), &why)) {
        throw failure(screensaverMessage);
    }
    *written = sha256Hex(programs.text());
}

async::Task<void> GloamyardInstaller::verifyRegistration()
{
    const XScreenSaverSettingsFile file(environment_.xscreensaverFile());
    QByteArray text;
    bool listed = file.read(&text) == XScreenSaverSettingsFile::State::readable &&
                  XScreenSaverPrograms(text).isEnabled(QFile::encodeName(environment_.saverProgram()));
    if (listed) {
        // The mode listed is this version's.
        const PackageVerifier installed(environment_.appDir(), {trust_.team, trust_.publicKey, version, build});
        try {
            listed = installed.programManifestMatches(QStringLiteral("Manifests/gloamyard-saver.json"), extensionID);
        } catch (const InstallerError&) {
            listed = false;
        }
    }
    if (!listed) {
        registered_ = false;
        throw failure(notAvailableMessage);
    }
    co_return;
}

QString GloamyardInstaller::settingsProgram() const
{
    return environment_.findTool(modernSettings ? QStringLiteral("xscreensaver-settings")
                                                : QStringLiteral("xscreensaver-demo"));
}

async::Task<void> GloamyardInstaller::closeSettingsPrograms()
{
    for (const QString& name : {QStringLiteral("xscreensaver-settings"), QStringLiteral("xscreensaver-demo")}) {
        auto find = userProcesses(name, environment_.findTool(name), refreshMessage);
        const auto running = co_await std::move(find);
        for (const pid_t pid : running) {
            auto quit = [pid] { return kill(pid, SIGTERM) == 0 || errno == ESRCH; };
            auto wait = observedExit(pid, quit);
            const bool gone = co_await std::move(wait);
            if (!gone) {
                throw failure(closeSettingsMessage);
            }
        }
    }
}

async::Task<void> GloamyardInstaller::reloadDaemon()
{
    const QString daemon = environment_.findTool(QStringLiteral("xscreensaver"));
    auto find = userProcesses(QStringLiteral("xscreensaver"), daemon, refreshMessage);
    const auto running = co_await std::move(find);
    if (running.empty()) {
        co_return; // a daemon that starts later reads the new settings anyway
    }
    // The daemon re-reads its settings and starts over in place; it is never
    // ended, since nothing would start it again and the user would be left
    // without a screen locker.
    const QStringList restartArguments{QStringLiteral("-restart")};
    auto restart = runTool(QStringLiteral("xscreensaver-command"), restartArguments);
    const CommandResult restarted = co_await std::move(restart);
    // The daemon restarts by executing itself again in place. When it does
    // that before the command has read its answer, the command reports the
    // daemon's window as deleted and exits non-zero although the restart
    // took place; whether the daemon is back is checked just below.
    const bool restartedBeforeAnswering = restarted.output.contains(QStringLiteral("window unexpectedly deleted"));
    if (restarted.code != 0 && !restartedBeforeAnswering) {
        throw failure(refreshMessage);
    }
    for (double waited = 0; waited < daemonReturnSeconds; waited += 0.25) {
        co_await async::sleepFor(0.25);
        auto again = userProcesses(QStringLiteral("xscreensaver"), daemon, refreshMessage);
        if (!(co_await std::move(again)).empty()) {
            co_return;
        }
    }
    // It did not come back: start it again rather than leave the screen unlocked.
    QProcess restartDaemon;
    restartDaemon.setProgram(daemon);
    restartDaemon.setArguments({QStringLiteral("--no-splash")});
    restartDaemon.setProcessEnvironment(environment_.toolEnvironment());
    restartDaemon.setStandardInputFile(QProcess::nullDevice());
    restartDaemon.setStandardOutputFile(QProcess::nullDevice());
    restartDaemon.setStandardErrorFile(QProcess::nullDevice());
    if (!restartDaemon.startDetached()) {
        throw failure(refreshMessage);
    }
}

bool GloamyardInstaller::openSettings()
{
    const QString program = settingsProgram();
    if (program.isEmpty()) {
        return false;
    }
    QProcess settings;
    settings.setProgram(program);
    settings.setProcessEnvironment(environment_.toolEnvironment());
    settings.setStandardInputFile(QProcess::nullDevice());
    settings.setStandardOutputFile(QProcess::nullDevice());
    settings.setStandardErrorFile(QProcess::nullDevice());
    return settings.startDetached();
}

async::Task<void> GloamyardInstaller::finishSetup()
{
    requireHomeAndLock();
    status_->setText(refreshingStatus);
    co_await closeSettingsPrograms();
    co_await reloadDaemon();
    co_await verifyRegistration();

    heading_->setText(completeHeading);
    message_->setText(modernSettings ? modernInstructions : legacyInstructions);
    status_->setText(completeStatus);
    action_->setText(openSettingsTitle);
    setBusy(false);

    if (!openSettings()) {
        throw failure(modernSettings ? modernOpenMessage : legacyOpenMessage);
    }
}

async::Task<QString> GloamyardInstaller::uninstall()
{
    if (environment_.uid == 0 || environment_.uid != environment_.euid || environment_.gid != environment_.egid) {
        throw failure(rootMessage);
    }
    requireHomeAndLock();
    // The work between suspensions is in plain functions: GCC 12 mishandles
    // objects with destructors in nested scopes of a coroutine.
    bool removed = false;
    try {
        auto refuse = refuseWhileAppRuns(quitForUninstallMessage);
        co_await std::move(refuse);
        const QStringList entries = removeRegistration(&removed);
        if (!entries.isEmpty() && !environment_.findTool(QStringLiteral("update-desktop-database")).isEmpty()) {
            const QStringList databaseArguments{environment_.applicationsDir()};
            auto update = runTool(QStringLiteral("update-desktop-database"), databaseArguments);
            co_await std::move(update);
        }
        removeTree(&removed);
    } catch (...) {
        releaseLock();
        throw;
    }
    releaseLock();
    removeCreatedFolders();
    co_return removed ? removedMessage : notInstalledMessage;
}

QStringList GloamyardInstaller::removeRegistration(bool* removed)
{
    const InstallTree tree(environment_.appDir());
    tree.recover();
    uninstallRecord_ = InstallRecord::load(tree.path());
    const InstallRecord& record = uninstallRecord_;

    // The display mode: the file goes only if the install made it and nobody
    // changed it since; otherwise only our entry leaves it.
    const XScreenSaverSettingsFile file(environment_.xscreensaverFile());
    QByteArray text;
    const auto state = file.read(&text);
    if (state == XScreenSaverSettingsFile::State::damaged) {
        throw failure(damagedUninstallMessage);
    }
    const QByteArray program = QFile::encodeName(environment_.saverProgram());
    XScreenSaverPrograms programs(text);
    if (state == XScreenSaverSettingsFile::State::readable && record.createdSettingsFile &&
        sha256Hex(text) == record.settingsWritten) {
        QFile::remove(file.target());
        *removed = true;
    } else if (state == XScreenSaverSettingsFile::State::readable && programs.remove(program)) {
        if (record.seededProgramsList) {
            QList<QByteArray> left;
            for (const auto& entry : programs.entries()) {
                left.append(entry.text);
            }
            if (left == defaultProgramList(environment_.xscreensaverDefaults)) {
                programs.removeList();
            }
        }
        if (file.isReadOnly()) {
            throw failure(readOnlyUninstallMessage);
        }
        QString why;
        if (!file.write(programs.text(), &why)) {
            throw failure(uninstallWriteMessage + u' ' + why);
        }
        *removed = true;
    }
    QFile::remove(file.backupPath());

    QStringList entries = record.desktopEntries;
    if (entries.isEmpty()) {
        entries = QDir(tree.path() + QStringLiteral("/share/applications"))
                      .entryList(QStringList(QStringLiteral("*.desktop")), QDir::Files);
    }
    DesktopEntries(tree.path(), environment_.applicationsDir()).remove(entries);
    return entries;
}

void GloamyardInstaller::removeTree(bool* removed)
{
    const InstallTree tree(environment_.appDir());
    *removed = *removed || tree.exists();
    QString why;
    if (!tree.remove(&why)) {
        throw InstallerError::system(why);
    }
}

void GloamyardInstaller::removeCreatedFolders()
{
    // Folders the install made go too when nothing else is in them.
    const QStringList& folders = uninstallRecord_.createdFolders;
    for (auto folder = folders.crbegin(); folder != folders.crend(); ++folder) {
        const QDir dir(*folder);
        if (*folder == environment_.applicationsDir() &&
            dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden) ==
                QStringList(QStringLiteral("mimeinfo.cache"))) {
            QFile::remove(dir.filePath(QStringLiteral("mimeinfo.cache")));
        }
        QDir().rmdir(*folder);
    }
}

} // namespace gloam::installer
