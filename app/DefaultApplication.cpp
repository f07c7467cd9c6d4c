#include "app/DefaultApplication.h"

#include <QProcess>
#include <QStandardPaths>

namespace gloam::app {

std::optional<QString> DefaultApplication::forMimeType(const QString& mimeType)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (tool.isEmpty()) {
        return std::nullopt;
    }
    QProcess query;
    query.setStandardInputFile(QProcess::nullDevice());
    query.setStandardErrorFile(QProcess::nullDevice());
    query.start(tool, {QStringLiteral("query"), QStringLiteral("default"), mimeType});
    if (!query.waitForFinished(timeoutMilliseconds)) {
        query.kill();
        query.waitForFinished(timeoutMilliseconds);
        return QString();
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0) {
        return QString();
    }
    return QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
}

} // namespace gloam::app
