#include "installer/AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gloam::installer {

bool replaceFileAtomically(const QString& path, const QByteArray& bytes, mode_t mode, QString* why)
{
    const auto failWith = [why, &path](int error) {
        if (why) {
            *why = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
        }
        return false;
    };
    QByteArray temporary = QFile::encodeName(path) + ".gloamyard-XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        return failWith(errno);
    }
    const auto abandon = [&](int error) {
        ::close(fd);
        ::unlink(temporary.constData());
        return failWith(error);
    };
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t step = ::write(fd, bytes.constData() + written, static_cast<size_t>(bytes.size() - written));
        if (step < 0) {
            if (errno == EINTR) {
                continue;
            }
            return abandon(errno);
        }
        written += step;
    }
    if (fchmod(fd, mode) != 0 || fsync(fd) != 0) {
        return abandon(errno);
    }
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return failWith(error);
    }
    if (::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return failWith(error);
    }
    // The rename itself reaches the disk with the folder.
    const int folder = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (folder >= 0) {
        fsync(folder);
        ::close(folder);
    }
    return true;
}

} // namespace gloam::installer
