#include "installer/SystemTools.h"

#include "installer/InstallerError.h"
#include "installer/InstallerTexts.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace gloam::installer {

namespace {

QString canonical(const QString& path)
{
    return path.isEmpty() ? QString() : QFileInfo(path).canonicalFilePath();
}

} // namespace

SystemTools::SystemTools(const InstallerEnvironment& environment)
    : environment_(environment)
{}

async::Task<CommandResult> SystemTools::run(QString name, QStringList arguments, QString failureMessage)
{
    const QString path = environment_.findTool(name);
    if (path.isEmpty()) {
        throw InstallerError::system(name + QStringLiteral(": the program was not found"));
    }
    const double deadline = environment_.deadlineOf(name);
    auto job = command(path, std::move(arguments), environment_.toolEnvironment(), deadline);
    CommandResult result = co_await std::move(job);
    if (result.timedOut && !failureMessage.isEmpty()) {
        throw InstallerError(QString::fromLatin1(InstallerError::installerDomain), 1,
                             toolTimeoutMessage.arg(name, QString::number(deadline)) + failureMessage);
    }
    co_return result;
}

async::Task<std::vector<ProcessHandle>> SystemTools::userProcesses(QString name, QString executable,
                                                                   QString failureMessage)
{
    std::vector<ProcessHandle> found;
    const QString wanted = canonical(executable);
    if (wanted.isEmpty()) {
        co_return found; // nothing installed there, so nothing of it runs
    }
    const QString uid = QString::number(environment_.uid);
    // pgrep matches the kernel's process name, which keeps 15 characters.
    // Calls are made before each co_await, never inside one: GCC 12
    // miscompiles temporaries (braced lists, lambdas) in a co_await expression.
    const QStringList pgrepArguments{QStringLiteral("-u"), uid, QStringLiteral("-x"), name.left(15)};
    auto pgrep = run(QStringLiteral("pgrep"), pgrepArguments, failureMessage);
    const CommandResult listed = co_await std::move(pgrep);
    if (listed.code > 1 || listed.code < 0) {
        throw InstallerError(QString::fromLatin1(InstallerError::installerDomain), 1, failureMessage);
    }
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    for (const QString& piece : listed.output.split(blanks, Qt::SkipEmptyParts)) {
        bool number = false;
        const int pid = piece.toInt(&number, 10);
        if (!number || pid <= 1 || pid == environment_.pid) {
            continue;
        }
        // Held from here on: the checks below are about this process, and
        // it is the one signalled later, whatever happens to its number.
        ProcessHandle process = ProcessHandle::open(pid);
        if (!process.isOpen()) {
            continue; // gone already
        }
        const QStringList psArguments{QStringLiteral("-p"),   QString::number(pid), QStringLiteral("-o"),
                                      QStringLiteral("uid="), QStringLiteral("-o"), QStringLiteral("stat=")};
        auto ps = run(QStringLiteral("ps"), psArguments, failureMessage);
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
        // Still the process just checked: had it ended and its number been
        // given to another, the handle would say so.
        if (!process.isAlive()) {
            continue;
        }
        found.push_back(std::move(process));
    }
    co_return found;
}

} // namespace gloam::installer
