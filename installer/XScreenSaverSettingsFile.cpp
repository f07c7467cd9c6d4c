#include "installer/XScreenSaverSettingsFile.h"

#include "installer/AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace gloam::installer {

namespace {

constexpr qint64 largestSettingsFile = 16 * 1024 * 1024;

} // namespace

XScreenSaverSettingsFile::XScreenSaverSettingsFile(QString path)
    : path_(std::move(path))
{}

QString XScreenSaverSettingsFile::target() const
{
    const QFileInfo info(path_);
    if (info.isSymLink()) {
        const QString resolved = info.canonicalFilePath();
        return resolved.isEmpty() ? info.symLinkTarget() : resolved;
    }
    return path_;
}

QString XScreenSaverSettingsFile::backupPath() const
{
    return target() + QStringLiteral(".gloamyard-backup");
}

bool XScreenSaverSettingsFile::isReadOnly() const
{
    struct stat info {};
    return stat(QFile::encodeName(target()).constData(), &info) == 0 && (info.st_mode & S_IWUSR) == 0;
}

XScreenSaverSettingsFile::State XScreenSaverSettingsFile::read(QByteArray* text, QString* why) const
{
    struct stat info {};
    if (stat(QFile::encodeName(target()).constData(), &info) != 0) {
        if (errno == ENOENT) {
            return State::missing;
        }
        if (why) {
            *why = QString::fromLocal8Bit(std::strerror(errno));
        }
        return State::unreadable;
    }
    if (!S_ISREG(info.st_mode) || info.st_size > largestSettingsFile) {
        return State::damaged;
    }
    QFile file(target());
    if (!file.open(QIODevice::ReadOnly)) {
        if (why) {
            *why = file.errorString();
        }
        return State::unreadable;
    }
    *text = file.readAll();
    return text->contains('\0') ? State::damaged : State::readable;
}

bool XScreenSaverSettingsFile::write(const QByteArray& text, QString* why, bool* madeBackup) const
{
    if (madeBackup) {
        *madeBackup = false;
    }
    const QString file = target();
    struct stat info {};
    mode_t mode = 0644;
    if (stat(QFile::encodeName(file).constData(), &info) == 0) {
        // Respect a file its owner made read-only, even where the folder would
        // let us replace it (or where we run with rights that ignore the mode).
        if ((info.st_mode & S_IWUSR) == 0) {
            if (why) {
                *why = file + QStringLiteral(" is read-only");
            }
            return false;
        }
        mode = info.st_mode & 07777;
        struct stat backup {};
        if (lstat(QFile::encodeName(backupPath()).constData(), &backup) != 0) {
            QFile current(file);
            if (!current.open(QIODevice::ReadOnly)) {
                if (why) {
                    *why = current.errorString();
                }
                return false;
            }
            if (!replaceFileAtomically(backupPath(), current.readAll(), mode & 0600, why)) {
                return false;
            }
            if (madeBackup) {
                *madeBackup = true;
            }
        }
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode &= ~mask;
    }
    return replaceFileAtomically(file, text, mode, why);
}

} // namespace gloam::installer
