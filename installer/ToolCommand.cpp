#include "installer/ToolCommand.h"

#include "installer/InstallerError.h"
#include "platform/async/Suspensions.h"

#include <QProcess>

namespace gloam::installer {

namespace {

CommandResult runTool(const QString& path, const QStringList& arguments, const QProcessEnvironment& environment,
                      double limitSeconds)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setProcessEnvironment(environment);
    process.setProgram(path);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted(-1)) {
        throw InstallerError::system(path + QStringLiteral(": ") + process.errorString());
    }
    const int limitMs = limitSeconds > 0 ? static_cast<int>(limitSeconds * 1000) : -1;
    if (!process.waitForFinished(limitMs)) {
        process.kill();
        process.waitForFinished(-1);
        return {-1, true, QString::fromUtf8(process.readAll())};
    }
    CommandResult result;
    result.output = QString::fromUtf8(process.readAll());
    result.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

} // namespace

async::Task<CommandResult> command(QString path, QStringList arguments, QProcessEnvironment environment,
                                   double limitSeconds)
{
    auto job = [path, arguments, environment, limitSeconds] {
        return runTool(path, arguments, environment, limitSeconds);
    };
    co_return co_await async::onWorker(std::move(job));
}

} // namespace gloam::installer
