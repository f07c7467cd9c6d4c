#include "tests/installer/Sandbox.h"

#include "tests/installer/TestPackage.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

namespace gloam::installer::test {

Sandbox::Sandbox()
{
    QDir().mkpath(home());
    QDir().mkpath(bin());
    QDir().mkpath(root() + QStringLiteral("/pids"));
    const QByteArray log = QFile::encodeName(root() + QStringLiteral("/tools.log"));
    const QByteArray pids = QFile::encodeName(root() + QStringLiteral("/pids"));
    writeTool(QStringLiteral("pgrep"), "echo \"pgrep $*\" >> '" + log +
                                           "'\n"
                                           "[ -f '" +
                                           pids +
                                           "/fail' ] && exit 2\n"
                                           "f='" +
                                           pids +
                                           "/'\"$4\"\n"
                                           "[ -s \"$f\" ] && /bin/cat \"$f\" && exit 0\n"
                                           "exit 1\n");
    writeTool(QStringLiteral("ps"),
              "echo \"ps $*\" >> '" + log +
                  "'\n"
                  "f='" +
                  pids +
                  "/owner-'\"$2\"\n"
                  "if [ -f \"$f\" ]; then echo \"$(/bin/cat \"$f\") S\"; else echo \"1000 S\"; fi\n");
    writeTool(QStringLiteral("xscreensaver-command"), "echo \"xscreensaver-command $*\" >> '" + log +
                                                          "'\n"
                                                          "if [ \"$1\" = -restart ] && [ -f '" +
                                                          pids +
                                                          "/restart-ends-daemon' ]; then\n"
                                                          "  kill $(/bin/cat '" +
                                                          pids +
                                                          "/xscreensaver')\n"
                                                          "fi\n"
                                                          "if [ \"$1\" = -restart ] && [ -f '" +
                                                          pids +
                                                          "/restart-before-answer' ]; then\n"
                                                          "  echo 'xscreensaver-command: xscreensaver window "
                                                          "unexpectedly deleted.' >&2\n"
                                                          "  exit 255\n"
                                                          "fi\n");
    writeTool(QStringLiteral("update-desktop-database"), "echo \"update-desktop-database $*\" >> '" + log + "'\n");
    copyFakeProgram(QStringLiteral("xscreensaver"));
    copyFakeProgram(QStringLiteral("xscreensaver-settings"));

    environment.uid = environment.euid = user;
    environment.gid = environment.egid = user;
    environment.pid = getpid();
    environment.home = home();
    environment.dataHome = home() + QStringLiteral("/.local/share");
    environment.toolPath = {bin()};
    trust = ThrowawayKey::shared().trust();
    environment.packagePath = root() + QStringLiteral("/Install Gloamyard.pkg");
    QFile::copy(package("good.pkg"), environment.packagePath);
    ThrowawayKey::shared().signFile(environment.packagePath);
    environment.xscreensaverDefaults = {QStringLiteral(INSTALLER_TEST_FIXTURES "/XScreenSaver.defaults")};
    environment.processEnvironment = QProcessEnvironment::systemEnvironment();
    environment.processEnvironment.insert(QStringLiteral("FAKE_PROGRAM_LOG"), root() + QStringLiteral("/programs.log"));
}

Sandbox::~Sandbox()
{
    // End what the installer started on its own (settings, a daemon): every
    // process running a program of this sandbox. A program started just now
    // may still be between fork and exec, so look twice.
    const QString prefix = root() + u'/';
    for (int round = 0; round < 2; ++round) {
        for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            if (pid.toInt() > 1 &&
                QFileInfo(QStringLiteral("/proc/") + pid + QStringLiteral("/exe")).symLinkTarget().startsWith(prefix)) {
                kill(pid.toInt(), SIGKILL);
            }
        }
        QThread::msleep(100);
    }
    for (auto& process : started_) {
        process->kill();
        process->waitForFinished();
    }
}

QString Sandbox::package(const char* name)
{
    return QStringLiteral(INSTALLER_TEST_PACKAGES "/") + QString::fromLatin1(name);
}

QString Sandbox::signedCopy(const char* name) const
{
    const QString copy = root() + u'/' + QString::fromLatin1(name);
    QFile::remove(copy);
    QFile::copy(package(name), copy);
    ThrowawayKey::shared().signFile(copy);
    return copy;
}

void Sandbox::writeTool(const QString& name, const QByteArray& script) const
{
    const QString path = bin() + u'/' + name;
    QFile::remove(path);
    write(path, "#!/bin/sh\n" + script);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void Sandbox::linkTool(const QString& name, const QString& target) const
{
    QFile::remove(bin() + u'/' + name);
    QFile::link(target, bin() + u'/' + name);
}

void Sandbox::copyFakeProgram(const QString& name) const
{
    QFile::remove(bin() + u'/' + name);
    QFile::copy(QStringLiteral(INSTALLER_FAKE_PROGRAM), bin() + u'/' + name);
}

void Sandbox::removeTool(const QString& name) const
{
    QFile::remove(bin() + u'/' + name);
}

QString Sandbox::toolLog() const
{
    return QString::fromUtf8(read(root() + QStringLiteral("/tools.log")));
}

QString Sandbox::programLog() const
{
    return QString::fromUtf8(read(root() + QStringLiteral("/programs.log")));
}

void Sandbox::reportProcess(const QString& name, qint64 pid) const
{
    write(root() + QStringLiteral("/pids/") + name, QByteArray::number(pid) + "\n");
}

void Sandbox::reportOwner(qint64 pid, uid_t uid) const
{
    write(root() + QStringLiteral("/pids/owner-%1").arg(pid), QByteArray::number(uid));
}

QProcess* Sandbox::start(const QString& program, const QStringList& arguments)
{
    auto process = std::make_unique<QProcess>();
    process->setProgram(program);
    process->setArguments(arguments);
    process->setProcessEnvironment(environment.processEnvironment);
    process->start();
    EXPECT_TRUE(process->waitForStarted()) << program.toStdString();
    // The fake notes its start once it runs; wait for that, so that its
    // executable is what the kernel reports.
    const QString marker = QStringLiteral(" %1 started").arg(process->processId());
    waitUntil([this, &marker] { return programLog().contains(marker); });
    started_.push_back(std::move(process));
    return started_.back().get();
}

QByteArray Sandbox::read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Sandbox::write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
}

std::map<QString, QString> Sandbox::snapshot(const QString& folder)
{
    std::map<QString, QString> tree;
    QDirIterator walk(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                      QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QString path = walk.next();
        const QFileInfo info(path);
        tree[path.mid(folder.size() + 1)] =
            info.isDir()
                ? QStringLiteral("dir")
                : QString::fromLatin1(QCryptographicHash::hash(read(path), QCryptographicHash::Sha256).toHex()) +
                      QStringLiteral(" %1").arg(info.permissions() & 0x7777, 0, 16);
    }
    return tree;
}

bool waitUntil(const std::function<bool()>& done)
{
    // A guard against a hang, not a measure of speed.
    QElapsedTimer guard;
    guard.start();
    while (!done()) {
        if (guard.elapsed() > 120000) {
            ADD_FAILURE() << "gave up waiting";
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

void clickAndWait(GloamyardInstaller& installer)
{
    installer.performAction();
    waitUntil([&installer] { return !installer.busy(); });
    // Let the task that cleared busy run to its end.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

} // namespace gloam::installer::test
