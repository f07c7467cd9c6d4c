#include "installer/DesktopEntries.h"

#include "installer/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cctype>

namespace gloam::installer {

namespace {

// An Exec argument quoted as desktop entries require: inside double quotes,
// '"', '`', '$' and '\' take a backslash, which the string escape of the
// file doubles; '%' is written "%%".
QByteArray quotedExecArgument(const QByteArray& path)
{
    QByteArray quoted = "\"";
    for (const char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += "\\\\";
            quoted += c;
        } else if (c == '%') {
            quoted += "%%";
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

bool needsQuotes(const QByteArray& path)
{
    for (const char c : path) {
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '/' || c == '.' || c == '_' || c == '-' ||
              c == '+')) {
            return true;
        }
    }
    return false;
}

} // namespace

DesktopEntries::DesktopEntries(QString appDir, QString applicationsDir)
    : appDir_(std::move(appDir))
    , applicationsDir_(std::move(applicationsDir))
{}

QByteArray DesktopEntries::rewritten(const QByteArray& entry) const
{
    QList<QByteArray> lines = entry.split('\n');
    for (QByteArray& line : lines) {
        const bool exec = line.startsWith("Exec=");
        const bool tryExec = line.startsWith("TryExec=");
        if (!exec && !tryExec) {
            continue;
        }
        const qsizetype valueAt = line.indexOf('=') + 1;
        const QByteArray value = line.mid(valueAt);
        const qsizetype space = value.indexOf(' ');
        const QByteArray program = space < 0 ? value : value.left(space);
        const QByteArray rest = space < 0 ? QByteArray() : value.mid(space);
        const QString installed = appDir_ + QStringLiteral("/bin/") + QString::fromUtf8(program);
        if (program.isEmpty() || program.contains('/') || !QFileInfo(installed).isFile()) {
            continue;
        }
        const QByteArray path = QFile::encodeName(installed);
        const QByteArray written = tryExec || !needsQuotes(path) ? path : quotedExecArgument(path);
        line = line.left(valueAt) + written + rest;
    }
    return lines.join('\n');
}

QStringList DesktopEntries::install(QString* why) const
{
    const QDir carried(appDir_ + QStringLiteral("/share/applications"));
    const QStringList names = carried.entryList({QStringLiteral("*.desktop")}, QDir::Files, QDir::Name);
    if (!names.isEmpty() && !QDir().mkpath(applicationsDir_)) {
        *why = applicationsDir_ + QStringLiteral(": cannot create the folder");
        return {};
    }
    QStringList written;
    for (const QString& name : names) {
        QFile source(carried.filePath(name));
        if (!source.open(QIODevice::ReadOnly)) {
            *why = source.errorString();
            return {};
        }
        if (!replaceFileAtomically(QDir(applicationsDir_).filePath(name), rewritten(source.readAll()), 0644, why)) {
            return {};
        }
        written.append(name);
    }
    return written;
}

void DesktopEntries::remove(const QStringList& names) const
{
    for (const QString& name : names) {
        QFile::remove(QDir(applicationsDir_).filePath(name));
    }
}

} // namespace gloam::installer
