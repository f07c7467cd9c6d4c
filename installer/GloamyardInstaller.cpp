#include "installer/GloamyardInstaller.h"

#include "installer/InstallerTexts.h"
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
#include <cstdio>

#include <signal.h>

namespace gloam::installer {

namespace {

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
    return DisplayModeRegistration::sha256Hex(bytes);
}

QByteArray contentsOf(const QString& path, bool* exists)
{
    QFile file(path);
    *exists = file.open(QIODevice::ReadOnly);
    return *exists ? file.readAll() : QByteArray();
}

// Removes a staging folder when the install leaves it, whichever way.
struct StagingGuard {
    QString path;
    ~StagingGuard() { InstallTree::discard(path); }
};

} // namespace

const QString GloamyardInstaller::introText = QStringLiteral(
    "Install the screensaver and companion app for your account.\nThe XScreenSaver settings will briefly close and "
    "reopen.");
const QString GloamyardInstaller::openSettingsTitle = QStringLiteral("Open XScreenSaver Settings");

GloamyardInstaller::Trust GloamyardInstaller::Trust::builtIn()
{
    return {QString::fromLatin1(InstallerIdentity::team), QByteArray::fromHex(InstallerIdentity::publicKey), {}};
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
    , tools_(environment_)
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

void GloamyardInstaller::requireNormalUser() const
{
    // Never as root or through set-uid or set-gid.
    if (environment_.uid == 0 || environment_.uid != environment_.euid || environment_.gid != environment_.egid) {
        throw failure(rootMessage);
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

async::Task<void> GloamyardInstaller::refuseWhileAppRuns(QString message)
{
    auto find = tools_.userProcesses(QStringLiteral("gloamyard"), environment_.appProgram(), message);
    const auto running = co_await std::move(find);
    if (!running.empty()) {
        throw failure(message);
    }
}

DisplayModeRegistration GloamyardInstaller::displayMode() const
{
    const QByteArray program = QFile::encodeName(environment_.saverProgram());
    return {environment_.xscreensaverFile(), environment_.xscreensaverDefaults, program,
            XScreenSaverPrograms::entryFor(displayModeName, program, displayModeArguments)};
}

void GloamyardInstaller::requirePackageAndXScreenSaver() const
{
    if (!QFileInfo(environment_.packagePath).isFile() ||
        !QFileInfo(PackageArchive::signaturePath(environment_.packagePath)).isFile()) {
        throw failure(packageMissingMessage);
    }
    if (environment_.findTool(QStringLiteral("xscreensaver")).isEmpty() ||
        environment_.findTool(QStringLiteral("xscreensaver-command")).isEmpty()) {
        throw failure(noXScreenSaverMessage);
    }
}

async::Task<void> GloamyardInstaller::installAndRegister()
{
    // 1. Who runs it.
    requireNormalUser();
    requireHomeAndLock();
    // 2. Not under a running app.
    auto refuse = refuseWhileAppRuns(quitAppMessage);
    co_await std::move(refuse);
    // 3. The package, and XScreenSaver to register with.
    requirePackageAndXScreenSaver();
    // 4.
    heading_->setText(installingHeading);
    status_->setText(installingStatus);

    // 5. The package's signature, then its members, unpacked beside the
    // installed tree, which stays untouched until the new one is checked.
    const InstallTree tree(environment_.appDir());
    tree.recover();
    record_ = InstallRecord::load(tree.path());
    QString why;
    const StagingGuard staging{tree.makeStaging(&why)};
    if (staging.path.isEmpty()) {
        throw failure(unpackMessage);
    }
    auto unpack = unpackPackage(staging.path);
    co_await std::move(unpack);

    // 6, 7. What was unpacked is exactly what this installer was built for.
    status_->setText(verifyingStatus);
    verifyUnpacked(staging.path);

    // Everything the install will write outside the tree is planned and
    // recorded in the new tree before it replaces the old one.
    planInstall(staging.path);
    if (!tree.replaceWith(staging.path, &why)) {
        throw failure(unpackMessage);
    }

    // 8. The installed app starts and reports this version.
    auto start = checkInstalledApp();
    co_await std::move(start);

    // 9, 10. The menus: desktop entries and icons.
    status_->setText(registeringStatus);
    writeMenuFiles();
    bool entries = false;
    bool icons = false;
    for (const MenuFiles::File& file : menuFiles_) {
        (file.isIcon ? icons : entries) = true;
    }
    auto menus = refreshMenus(entries, icons, desktopMessage);
    co_await std::move(menus);

    // 11. The display mode in ~/.xscreensaver.
    registerDisplayMode();

    // 12, 13.
    co_await verifyRegistration();
    registered_ = true;
}

async::Task<void> GloamyardInstaller::unpackPackage(QString staging)
{
    const QString package = environment_.packagePath;
    const QByteArray key = trust_.publicKey;
    const PackageArchive::Limits limits = trust_.limits;
    // Off the main thread: the window stays responsive while a large
    // package is read, checked and written.
    auto job = [package, key, staging, limits] { return PackageArchive::unpack(package, key, staging, limits); };
    auto work = async::onWorker(std::move(job));
    const PackageArchive::Result unpacked = co_await std::move(work);
    switch (unpacked.outcome) {
    case PackageArchive::Outcome::unpacked:
        co_return;
    case PackageArchive::Outcome::missing:
        throw failure(packageMissingMessage);
    case PackageArchive::Outcome::unsigned_:
        throw failure(unsignedPackageMessage);
    case PackageArchive::Outcome::damaged:
        throw failure(damagedPackageMessage.arg(unpacked.why));
    case PackageArchive::Outcome::writeFailed:
        throw failure(unpackMessage);
    }
}

void GloamyardInstaller::verifyUnpacked(const QString& staging) const
{
    const PackageVerifier verifier(staging, {version, build});
    const std::pair<QString, QString> manifests[] = {
        {QStringLiteral("Manifests/gloamyard.json"), appID},
        {QStringLiteral("Manifests/gloamyard-saver.json"), extensionID},
    };
    for (const auto& [manifest, identifier] : manifests) {
        if (!verifier.programManifestMatches(manifest, identifier)) {
            throw failure(mismatchMessage);
        }
    }
    if (!verifier.filesValid({appID, extensionID})) {
        throw failure(unverifiedMessage);
    }
}

void GloamyardInstaller::planInstall(const QString& staging)
{
    const InstallRecord previous = record_;
    InstallRecord& record = record_;
    QString why;

    // Menu files, from the new tree, naming the programs where they will be.
    std::vector<MenuFiles::File> planned =
        MenuFiles(staging, environment_.appDir(), environment_.applicationsDir(), environment_.iconThemeDir())
            .files(&why);
    if (!why.isEmpty()) {
        throw failure(desktopMessage);
    }
    menuFiles_.clear();
    for (MenuFiles::File& file : planned) {
        bool exists = false;
        const QByteArray current = contentsOf(file.path, &exists);
        // A file someone else put there with the very same contents (an icon
        // of `cmake --install`) is theirs: left as it is and not recorded.
        if (exists && current == file.bytes && previous.hashOf(file.path).isEmpty()) {
            continue;
        }
        record.noteFile(file.path, sha256Hex(file.bytes));
        menuFiles_.push_back(std::move(file));
    }
    record.noteFolders(createdFolders_);
    record.noteFolders(MenuFiles::missingFolders(menuFiles_));

    // The display mode: a file that cannot take the entry stops the install
    // here, before anything changed.
    const DisplayModeRegistration registration = displayMode();
    const DisplayModeRegistration::Edit edit = registration.planAdd();
    switch (edit.problem) {
    case DisplayModeRegistration::Problem::none:
        break;
    case DisplayModeRegistration::Problem::damaged:
        throw failure(damagedMessage);
    case DisplayModeRegistration::Problem::unreadable:
        throw failure(screensaverMessage);
    case DisplayModeRegistration::Problem::readOnly:
        throw failure(readOnlyMessage);
    case DisplayModeRegistration::Problem::noDefaultList:
        throw failure(noDefaultListMessage);
    }
    record.createdSettingsFile = record.createdSettingsFile || edit.createsFile;
    record.seededProgramsList = record.seededProgramsList || edit.seedsList;
    if (edit.changes) {
        record.settingsWritten = sha256Hex(edit.text);
    }
    // The copy of the user's original: the one already aside, else the one
    // this write will make.
    bool backedUp = false;
    const QByteArray backup = contentsOf(registration.file().backupPath(), &backedUp);
    bool hasOriginal = false;
    const QByteArray original = contentsOf(registration.file().target(), &hasOriginal);
    if (backedUp) {
        record.settingsBackup = sha256Hex(backup);
    } else if (edit.changes && hasOriginal) {
        record.settingsBackup = sha256Hex(original);
    }

    if (!record.save(staging, &why)) {
        throw failure(unpackMessage);
    }
}

async::Task<void> GloamyardInstaller::checkInstalledApp()
{
    QProcessEnvironment headless = environment_.toolEnvironment();
    headless.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const QStringList versionArguments{QStringLiteral("--version")};
    auto start = command(environment_.appProgram(), versionArguments, headless, startCheckSeconds);
    const CommandResult started = co_await std::move(start);
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    if (started.code != 0 || !started.output.split(blanks, Qt::SkipEmptyParts).contains(version)) {
        throw failure(startCheckMessage);
    }
}

void GloamyardInstaller::writeMenuFiles()
{
    for (const QString& folder : record_.createdFolders) {
        makeFolder(folder);
    }
    QString why;
    for (const MenuFiles::File& file : menuFiles_) {
        if (!MenuFiles::write(file, &why)) {
            throw failure(desktopMessage);
        }
    }
}

async::Task<void> GloamyardInstaller::refreshMenus(bool entries, bool icons, QString failureMessage)
{
    if (entries && !environment_.findTool(QStringLiteral("update-desktop-database")).isEmpty()) {
        const QStringList databaseArguments{environment_.applicationsDir()};
        auto update = tools_.run(QStringLiteral("update-desktop-database"), databaseArguments, failureMessage);
        const CommandResult database = co_await std::move(update);
        if (database.code != 0 && !failureMessage.isEmpty()) {
            throw failure(failureMessage);
        }
    }
    // Only a cache that exists is refreshed: a new one in the user's theme
    // would have to be kept up to date by every program that adds an icon.
    const QString cache = environment_.iconThemeDir() + QStringLiteral("/icon-theme.cache");
    if (icons && QFileInfo::exists(cache) &&
        !environment_.findTool(QStringLiteral("gtk-update-icon-cache")).isEmpty()) {
        const QStringList cacheArguments{QStringLiteral("--force"), QStringLiteral("--ignore-theme-index"),
                                         QStringLiteral("--quiet"), environment_.iconThemeDir()};
        auto refresh = tools_.run(QStringLiteral("gtk-update-icon-cache"), cacheArguments, QString());
        const CommandResult refreshed = co_await std::move(refresh);
        // A stale cache only delays the icon: it is reported, not fatal.
        if (refreshed.code != 0) {
            std::fprintf(stderr, "gloamyard-installer: gtk-update-icon-cache %s\n",
                         refreshed.timedOut ? "did not finish in time" : "failed");
        }
    }
}

void GloamyardInstaller::registerDisplayMode()
{
    // Planned again: the file may have changed since the plan.
    const DisplayModeRegistration registration = displayMode();
    const DisplayModeRegistration::Edit edit = registration.planAdd();
    if (edit.problem == DisplayModeRegistration::Problem::damaged) {
        throw failure(damagedMessage);
    }
    if (edit.problem == DisplayModeRegistration::Problem::readOnly) {
        throw failure(readOnlyMessage);
    }
    if (edit.problem != DisplayModeRegistration::Problem::none) {
        throw failure(screensaverMessage);
    }
    bool madeBackup = false;
    QString why;
    if (!registration.apply(edit, &madeBackup, &why)) {
        throw failure(screensaverMessage);
    }
    // The record already says this, unless the file changed since the plan.
    InstallRecord updated = record_;
    updated.createdSettingsFile = updated.createdSettingsFile || edit.createsFile;
    updated.seededProgramsList = updated.seededProgramsList || edit.seedsList;
    if (edit.changes) {
        updated.settingsWritten = sha256Hex(edit.text);
    }
    if (madeBackup) {
        bool exists = false;
        updated.settingsBackup = sha256Hex(contentsOf(registration.file().backupPath(), &exists));
    }
    if (updated.settingsWritten != record_.settingsWritten || updated.settingsBackup != record_.settingsBackup ||
        updated.createdSettingsFile != record_.createdSettingsFile ||
        updated.seededProgramsList != record_.seededProgramsList) {
        record_ = updated;
        if (!record_.save(environment_.appDir(), &why)) {
            throw failure(screensaverMessage);
        }
    }
}

async::Task<void> GloamyardInstaller::verifyRegistration()
{
    bool listed = displayMode().isEnabled();
    if (listed) {
        // The mode listed is this version's.
        const PackageVerifier installed(environment_.appDir(), {version, build});
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
        auto find = tools_.userProcesses(name, environment_.findTool(name), refreshMessage);
        const auto running = co_await std::move(find);
        for (const ProcessHandle& process : running) {
            const ProcessHandle* held = &process;
            auto quit = [held] { return held->signal(SIGTERM); };
            auto wait = observedExit(process.pid(), quit);
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
    auto find = tools_.userProcesses(QStringLiteral("xscreensaver"), daemon, refreshMessage);
    const auto running = co_await std::move(find);
    if (running.empty()) {
        co_return; // a daemon that starts later reads the new settings anyway
    }
    // The daemon re-reads its settings and starts over in place; it is never
    // ended, since nothing would start it again and the user would be left
    // without a screen locker.
    const QStringList restartArguments{QStringLiteral("-restart")};
    auto restart = tools_.run(QStringLiteral("xscreensaver-command"), restartArguments, refreshMessage);
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
        auto again = tools_.userProcesses(QStringLiteral("xscreensaver"), daemon, refreshMessage);
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
    requireNormalUser();
    requireHomeAndLock();
    bool removed = false;
    try {
        auto refuse = refuseWhileAppRuns(quitForUninstallMessage);
        co_await std::move(refuse);
        bool entries = false;
        bool icons = false;
        removeRegistration(&removed, &entries, &icons);
        auto menus = refreshMenus(entries, icons, QString());
        co_await std::move(menus);
        removeTree(&removed);
    } catch (...) {
        releaseLock();
        throw;
    }
    releaseLock();
    removeCreatedFolders();
    // The copy of the user's original goes last, once all else is done.
    removeBackup();
    co_return removed ? removedMessage : notInstalledMessage;
}

void GloamyardInstaller::removeRegistration(bool* removed, bool* entries, bool* icons)
{
    const InstallTree tree(environment_.appDir());
    tree.recover();
    record_ = InstallRecord::load(tree.path());

    const DisplayModeRegistration registration = displayMode();
    const DisplayModeRegistration::Edit edit = registration.planRemove(record_);
    switch (edit.problem) {
    case DisplayModeRegistration::Problem::none:
    case DisplayModeRegistration::Problem::noDefaultList:
        break;
    case DisplayModeRegistration::Problem::damaged:
        throw failure(damagedUninstallMessage);
    case DisplayModeRegistration::Problem::readOnly:
        throw failure(readOnlyUninstallMessage);
    case DisplayModeRegistration::Problem::unreadable:
        throw failure(uninstallWriteMessage);
    }
    QString why;
    if (!registration.apply(edit, &uninstallMadeBackup_, &why)) {
        throw failure(uninstallWriteMessage + u' ' + why);
    }
    *removed = *removed || edit.changes;

    // Only what the install wrote, and only while it is as the install left it.
    const QString applications = environment_.applicationsDir() + u'/';
    for (const InstallRecord::WrittenFile& file : record_.files) {
        bool exists = false;
        const QByteArray current = contentsOf(file.path, &exists);
        if (exists && sha256Hex(current) == file.sha256 && QFile::remove(file.path)) {
            (file.path.startsWith(applications) ? *entries : *icons) = true;
            *removed = true;
        }
    }
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
    const QStringList& folders = record_.createdFolders;
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

void GloamyardInstaller::removeBackup()
{
    const QString backup = XScreenSaverSettingsFile(environment_.xscreensaverFile()).backupPath();
    bool exists = false;
    const QByteArray contents = contentsOf(backup, &exists);
    if (exists && (uninstallMadeBackup_ || sha256Hex(contents) == record_.settingsBackup)) {
        QFile::remove(backup);
    }
}

} // namespace gloam::installer
