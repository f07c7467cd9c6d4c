#include "installer/InstallTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
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

// Empties the folder open as `folder` (which it closes), entry by entry,
// never through a symbolic link. Returns 0 or the first error.
int emptyFolder(int folder)
{
    DIR* listing = fdopendir(folder);
    if (!listing) {
        const int error = errno;
        ::close(folder);
        return error;
    }
    int failed = 0;
    while (const dirent* entry = readdir(listing)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
            continue;
        }
        struct stat info {};
        if (fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
            failed = failed ? failed : errno;
            continue;
        }
        if (S_ISDIR(info.st_mode)) {
            const int inner = openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            const int error = inner < 0 ? errno : emptyFolder(inner);
            if (error != 0 || unlinkat(folder, name, AT_REMOVEDIR) != 0) {
                failed = failed ? failed : (error ? error : errno);
            }
        } else if (unlinkat(folder, name, 0) != 0) {
            failed = failed ? failed : errno;
        }
    }
    closedir(listing);
    return failed;
}

} // namespace

bool InstallTree::removeFolder(const QString& path, QString* why)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (lstat(name.constData(), &info) != 0) {
        return errno == ENOENT;
    }
    int error = 0;
    if (!S_ISDIR(info.st_mode)) {
        error = ::unlink(name.constData()) == 0 ? 0 : errno;
    } else {
        const int folder = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        error = folder < 0 ? errno : emptyFolder(folder);
        if (error == 0 && ::rmdir(name.constData()) != 0) {
            error = errno;
        }
    }
    if (error != 0 && why) {
        *why = path + QStringLiteral(": ") + describe(error);
    }
    return error == 0;
}

InstallTree::InstallTree(QString path, Swap swap)
    : path_(QDir::cleanPath(std::move(path)))
    , swap_(swap)
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
            removeFolder(leftover);
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
        removeFolder(staging);
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
    if (swap_ == Swap::exchange &&
        renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) == 0) {
        removeFolder(staging);
        return true;
    }
    // Otherwise two renames; recover() puts the old tree back if we stop
    // between them.
    const QString previous = sidePath("previous");
    removeFolder(previous);
    if (!renameTo(path_, previous)) {
        *why = describe(errno);
        return false;
    }
    if (!renameTo(staging, path_)) {
        *why = describe(errno);
        renameTo(previous, path_);
        return false;
    }
    removeFolder(previous);
    return true;
}

bool InstallTree::remove(QString* why) const
{
    return removeFolder(path_, why);
}

} // namespace gloam::installer
