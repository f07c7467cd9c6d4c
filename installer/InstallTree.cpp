#include "installer/InstallTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace gloam::installer {

namespace {

QString describe(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool renameTo(const QString& from, const QString& to)
{
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

} // namespace

InstallTree::InstallTree(QString path)
    : path_(QDir::cleanPath(std::move(path)))
{}

bool InstallTree::exists() const
{
    return QFileInfo(path_).isDir();
}

QString InstallTree::sidePath(const char* kind) const
{
    const QFileInfo info(path_);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + u'.' + QLatin1String(kind);
}

void InstallTree::recover() const
{
    const QFileInfo info(path_);
    const QDir parent(info.absolutePath());
    const QString prefix = u'.' + info.fileName() + u'.';
    const QStringList leftovers =
        parent.entryList({prefix + QStringLiteral("staging-*"), prefix + QStringLiteral("previous")},
                         QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& name : leftovers) {
        const QString leftover = parent.filePath(name);
        if (name == prefix + QStringLiteral("previous") && !exists()) {
            renameTo(leftover, path_);
        } else {
            QDir(leftover).removeRecursively();
        }
    }
}

QString InstallTree::makeStaging(QString* why) const
{
    if (!QDir().mkpath(QFileInfo(path_).absolutePath())) {
        *why = QFileInfo(path_).absolutePath() + QStringLiteral(": cannot create the folder");
        return {};
    }
    QByteArray pattern = QFile::encodeName(sidePath("staging-XXXXXX"));
    if (!mkdtemp(pattern.data())) {
        *why = describe(errno);
        return {};
    }
    return QFile::decodeName(pattern);
}

void InstallTree::discard(const QString& staging)
{
    if (!staging.isEmpty()) {
        QDir(staging).removeRecursively();
    }
}

bool InstallTree::replaceWith(const QString& staging, QString* why) const
{
    const QByteArray from = QFile::encodeName(staging);
    const QByteArray to = QFile::encodeName(path_);
    if (!exists()) {
        if (::rename(from.constData(), to.constData()) != 0) {
            *why = describe(errno);
            return false;
        }
        return true;
    }
    // One step where the file system offers it: the staging path then holds
    // the old tree.
    if (renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) == 0) {
        QDir(staging).removeRecursively();
        return true;
    }
    // Otherwise two renames; recover() puts the old tree back if we stop
    // between them.
    const QString previous = sidePath("previous");
    QDir(previous).removeRecursively();
    if (!renameTo(path_, previous)) {
        *why = describe(errno);
        return false;
    }
    if (!renameTo(staging, path_)) {
        *why = describe(errno);
        renameTo(previous, path_);
        return false;
    }
    QDir(previous).removeRecursively();
    return true;
}

bool InstallTree::remove(QString* why) const
{
    if (exists() && !QDir(path_).removeRecursively()) {
        *why = path_ + QStringLiteral(": cannot remove every file");
        return false;
    }
    return true;
}

} // namespace gloam::installer
