#include "installer/PackageArchive.h"

#include <QFile>

#include <archive.h>
#include <archive_entry.h>
#include <openssl/evp.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gloam::installer {

namespace {

using Outcome = PackageArchive::Outcome;
using Result = PackageArchive::Result;

constexpr int signatureBytes = 64;

Result result(Outcome outcome, const QString& why = {})
{
    return {outcome, why};
}

QString describe(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The whole of a regular file of at most `limit` bytes, read through one
// descriptor: what is checked is exactly what is later unpacked.
enum class ReadState { read, missing, tooLarge, failed };

ReadState readWhole(const QString& path, qint64 limit, QByteArray* bytes, QString* why)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        *why = path + QStringLiteral(": ") + describe(errno);
        return errno == ENOENT ? ReadState::missing : ReadState::failed;
    }
    const std::unique_ptr<int, void (*)(const int*)> closer(new int(fd), [](const int* f) {
        ::close(*f);
        delete f;
    });
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        *why = path + QStringLiteral(": not a regular file");
        return ReadState::missing;
    }
    if (info.st_size > limit) {
        *why = path + QStringLiteral(": larger than %1 bytes").arg(limit);
        return ReadState::tooLarge;
    }
    bytes->resize(static_cast<qsizetype>(info.st_size));
    qsizetype done = 0;
    while (done < bytes->size()) {
        const ssize_t step = ::read(fd, bytes->data() + done, static_cast<size_t>(bytes->size() - done));
        if (step < 0 && errno == EINTR) {
            continue;
        }
        if (step <= 0) {
            *why = path + QStringLiteral(": ") + (step < 0 ? describe(errno) : QStringLiteral("shorter than it was"));
            return ReadState::failed;
        }
        done += step;
    }
    return ReadState::read;
}

// A member's name as the archive gives it: relative, without "..", and
// without characters a file name cannot carry.
bool nameIsPlain(const QByteArray& name)
{
    if (name.isEmpty() || name.startsWith('/')) {
        return false;
    }
    for (const QByteArray& part : name.split('/')) {
        if (part == "..") {
            return false;
        }
    }
    return true;
}

bool isProgram(QByteArray name)
{
    while (name.startsWith("./")) {
        name = name.mid(2);
    }
    return name.startsWith("bin/") && name.size() > 4 && !name.endsWith('/');
}

bool isDiskError(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EIO:
    case EROFS:
    case EACCES:
    case EPERM:
    case EMLINK:
    case EFBIG:
        return true;
    default:
        return false;
    }
}

// libarchive resolves member names against the working folder, and its
// secure-extraction checks (no "..", no absolute names, no symbolic link
// on the way) are made on those relative names. The unpack therefore runs
// inside the staging folder; the working folder is the process's, so one
// unpack at a time, and the old one is restored whatever happens.
std::mutex workingFolderLock;

class InsideFolder {
public:
    explicit InsideFolder(const QString& folder)
        : guard_(workingFolderLock)
    {
        previous_ = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const int target =
            ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        entered_ = previous_ >= 0 && target >= 0 && fchdir(target) == 0;
        if (!entered_) {
            error_ = errno;
        }
        if (target >= 0) {
            ::close(target);
        }
    }
    ~InsideFolder()
    {
        if (previous_ >= 0) {
            if (entered_ && fchdir(previous_) != 0) {
                std::perror("gloamyard-installer: cannot return to the working folder");
            }
            ::close(previous_);
        }
    }
    InsideFolder(const InsideFolder&) = delete;
    InsideFolder& operator=(const InsideFolder&) = delete;

    bool entered() const { return entered_; }
    int error() const { return error_; }

private:
    std::lock_guard<std::mutex> guard_;
    int previous_ = -1;
    bool entered_ = false;
    int error_ = 0;
};

int folderModeFix(const char* path, const struct stat* info, int type, FTW*)
{
    if (type == FTW_D && S_ISDIR(info->st_mode)) {
        return chmod(path, 0755) == 0 ? 0 : -1;
    }
    return 0;
}

Result extract(const QByteArray& bytes, const QString& staging, const PackageArchive::Limits& limits)
{
    using Reader = std::unique_ptr<archive, decltype(&archive_read_free)>;
    using Writer = std::unique_ptr<archive, decltype(&archive_write_free)>;
    const Reader in(archive_read_new(), &archive_read_free);
    if (!in) {
        return result(Outcome::writeFailed, QStringLiteral("out of memory"));
    }
    // Exactly our format: a tar archive compressed with zstd.
    archive_read_support_format_tar(in.get());
    archive_read_support_filter_zstd(in.get());
    if (archive_read_open_memory(in.get(), bytes.constData(), static_cast<size_t>(bytes.size())) != ARCHIVE_OK) {
        return result(Outcome::damaged, QString::fromUtf8(archive_error_string(in.get())));
    }

    const InsideFolder inside(staging);
    if (!inside.entered()) {
        return result(Outcome::writeFailed, staging + QStringLiteral(": ") + describe(inside.error()));
    }
    // Made inside the folder and freed before leaving it: freeing finishes
    // deferred work (folder modes) on the same relative names.
    const Writer out(archive_write_disk_new(), &archive_write_free);
    if (!out) {
        return result(Outcome::writeFailed, QStringLiteral("out of memory"));
    }
    archive_write_disk_set_options(out.get(), ARCHIVE_EXTRACT_PERM | ARCHIVE_EXTRACT_NO_OVERWRITE |
                                                  ARCHIVE_EXTRACT_SECURE_SYMLINKS | ARCHIVE_EXTRACT_SECURE_NODOTDOT |
                                                  ARCHIVE_EXTRACT_SECURE_NOABSOLUTEPATHS);
    int members = 0;
    qint64 total = 0;
    for (;;) {
        archive_entry* entry = nullptr;
        const int next = archive_read_next_header(in.get(), &entry);
        if (next == ARCHIVE_EOF) {
            break;
        }
        if (next != ARCHIVE_OK) {
            return result(Outcome::damaged, QString::fromUtf8(archive_error_string(in.get())));
        }
        const char* rawName = archive_entry_pathname(entry);
        const QByteArray name = rawName ? QByteArray(rawName) : QByteArray();
        const QString shown = QStringLiteral("“%1”").arg(QString::fromUtf8(name));
        if (++members > limits.members) {
            return result(Outcome::damaged, QStringLiteral("it holds more than %1 files").arg(limits.members));
        }
        if (!nameIsPlain(name)) {
            return result(Outcome::damaged, shown + QStringLiteral(" points outside the package"));
        }
        const mode_t type = archive_entry_filetype(entry);
        if (archive_entry_hardlink(entry) || archive_entry_symlink(entry) || type == AE_IFLNK) {
            return result(Outcome::damaged, shown + QStringLiteral(" is a link"));
        }
        if (type != AE_IFREG && type != AE_IFDIR) {
            return result(Outcome::damaged, shown + QStringLiteral(" is not a file or a folder"));
        }
        if (type == AE_IFREG) {
            if (archive_entry_sparse_count(entry) > 0) {
                return result(Outcome::damaged, shown + QStringLiteral(" is a sparse file"));
            }
            if (!archive_entry_size_is_set(entry) || archive_entry_size(entry) < 0) {
                return result(Outcome::damaged, shown + QStringLiteral(" has no size"));
            }
            total += archive_entry_size(entry);
            if (total > limits.unpackedBytes) {
                return result(Outcome::damaged,
                              QStringLiteral("it unpacks to more than %1 MiB").arg(limits.unpackedBytes >> 20));
            }
            archive_entry_set_perm(entry, isProgram(name) ? 0755 : 0644);
        } else {
            archive_entry_set_perm(entry, 0755);
        }
        // Nothing of the archive's owners, times or extended attributes is kept.
        archive_entry_set_uid(entry, getuid());
        archive_entry_set_gid(entry, getgid());

        if (archive_write_header(out.get(), entry) != ARCHIVE_OK) {
            const int error = archive_errno(out.get());
            const QString text = shown + QStringLiteral(": ") + QString::fromUtf8(archive_error_string(out.get()));
            return result(isDiskError(error) ? Outcome::writeFailed : Outcome::damaged, text);
        }
        if (type == AE_IFREG) {
            qint64 copied = 0;
            for (;;) {
                const void* block = nullptr;
                size_t size = 0;
                la_int64_t offset = 0;
                const int read = archive_read_data_block(in.get(), &block, &size, &offset);
                if (read == ARCHIVE_EOF) {
                    break;
                }
                if (read != ARCHIVE_OK) {
                    return result(Outcome::damaged,
                                  shown + QStringLiteral(": ") + QString::fromUtf8(archive_error_string(in.get())));
                }
                copied += static_cast<qint64>(size);
                if (copied > archive_entry_size(entry)) {
                    return result(Outcome::damaged, shown + QStringLiteral(" is longer than it says"));
                }
                if (archive_write_data_block(out.get(), block, size, offset) != ARCHIVE_OK) {
                    const int error = archive_errno(out.get());
                    const QString text =
                        shown + QStringLiteral(": ") + QString::fromUtf8(archive_error_string(out.get()));
                    return result(isDiskError(error) ? Outcome::writeFailed : Outcome::damaged, text);
                }
            }
        }
        if (archive_write_finish_entry(out.get()) != ARCHIVE_OK) {
            const int error = archive_errno(out.get());
            return result(isDiskError(error) ? Outcome::writeFailed : Outcome::damaged,
                          shown + QStringLiteral(": ") + QString::fromUtf8(archive_error_string(out.get())));
        }
    }
    if (archive_write_close(out.get()) != ARCHIVE_OK) {
        return result(isDiskError(archive_errno(out.get())) ? Outcome::writeFailed : Outcome::damaged,
                      QString::fromUtf8(archive_error_string(out.get())));
    }
    // Folders made on the way for a member (and the staging folder itself,
    // made private) take the same mode as folders the archive lists.
    if (nftw(".", folderModeFix, 16, FTW_PHYS) != 0) {
        return result(Outcome::writeFailed, staging + QStringLiteral(": ") + describe(errno));
    }
    return result(Outcome::unpacked);
}

} // namespace

bool PackageArchive::ed25519Verify(const QByteArray& publicKey, const QByteArray& message, const QByteArray& signature)
{
    if (publicKey.size() != 32 || signature.size() != signatureBytes) {
        return false;
    }
    const std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr,
                                    reinterpret_cast<const unsigned char*>(publicKey.constData()), 32),
        &EVP_PKEY_free);
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!key || !context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1) {
        return false;
    }
    return EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.constData()),
                            static_cast<size_t>(signature.size()),
                            reinterpret_cast<const unsigned char*>(message.constData()),
                            static_cast<size_t>(message.size())) == 1;
}

PackageArchive::Result PackageArchive::unpack(const QString& package, const QByteArray& publicKey,
                                              const QString& staging, const Limits& limits)
{
    QByteArray signature;
    QString why;
    switch (readWhole(signaturePath(package), signatureBytes, &signature, &why)) {
    case ReadState::read:
        break;
    case ReadState::missing:
        return result(Outcome::missing, why);
    case ReadState::tooLarge:
        return result(Outcome::unsigned_, why);
    case ReadState::failed:
        return result(Outcome::writeFailed, why);
    }
    QByteArray bytes;
    switch (readWhole(package, limits.packageBytes, &bytes, &why)) {
    case ReadState::read:
        break;
    case ReadState::missing:
        return result(Outcome::missing, why);
    case ReadState::tooLarge:
        return result(Outcome::damaged, QStringLiteral("it is larger than %1 MiB").arg(limits.packageBytes >> 20));
    case ReadState::failed:
        return result(Outcome::writeFailed, why);
    }
    // Not one member is looked at before the signature holds.
    if (!ed25519Verify(publicKey, bytes, signature)) {
        return result(Outcome::unsigned_, QStringLiteral("the signature does not match the package"));
    }
    return extract(bytes, staging, limits);
}

} // namespace gloam::installer
