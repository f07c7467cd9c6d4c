#include "tests/installer/TestPackage.h"

#include "installer/PackageArchive.h"
#include "tests/installer/Sandbox.h"

#include <QCryptographicHash>
#include <QFile>

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>

#include <sys/stat.h>

namespace gloam::installer::test {

std::vector<ArchiveMember> TestPackage::read(const QString& package)
{
    std::vector<ArchiveMember> members;
    const std::unique_ptr<archive, decltype(&archive_read_free)> in(archive_read_new(), &archive_read_free);
    archive_read_support_format_tar(in.get());
    archive_read_support_filter_all(in.get());
    if (archive_read_open_filename(in.get(), QFile::encodeName(package).constData(), 65536) != ARCHIVE_OK) {
        ADD_FAILURE() << package.toStdString() << ": " << archive_error_string(in.get());
        return members;
    }
    archive_entry* entry = nullptr;
    while (archive_read_next_header(in.get(), &entry) == ARCHIVE_OK) {
        ArchiveMember member;
        member.name = archive_entry_pathname(entry);
        if (archive_entry_filetype(entry) == AE_IFDIR) {
            member.kind = ArchiveMember::Kind::folder;
        } else {
            member.data.resize(static_cast<qsizetype>(archive_entry_size(entry)));
            archive_read_data(in.get(), member.data.data(), static_cast<size_t>(member.data.size()));
        }
        members.push_back(std::move(member));
    }
    return members;
}

ArchiveMember* TestPackage::find(std::vector<ArchiveMember>& members, const QByteArray& name)
{
    for (ArchiveMember& member : members) {
        if (member.name == name) {
            return &member;
        }
    }
    ADD_FAILURE() << "no member " << name.toStdString();
    return nullptr;
}

void TestPackage::write(const QString& package, const std::vector<ArchiveMember>& members, bool compressed)
{
    const std::unique_ptr<archive, decltype(&archive_write_free)> out(archive_write_new(), &archive_write_free);
    archive_write_set_format_pax(out.get());
    if (compressed) {
        archive_write_add_filter_zstd(out.get());
        archive_write_set_filter_option(out.get(), "zstd", "compression-level", "1");
    }
    ASSERT_EQ(archive_write_open_filename(out.get(), QFile::encodeName(package).constData()), ARCHIVE_OK)
        << archive_error_string(out.get());
    for (const ArchiveMember& member : members) {
        const std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(archive_entry_new(),
                                                                                  &archive_entry_free);
        archive_entry_set_pathname(entry.get(), member.name.constData());
        archive_entry_set_mtime(entry.get(), 946684800, 0);
        qint64 size = 0;
        switch (member.kind) {
        case ArchiveMember::Kind::file:
            archive_entry_set_filetype(entry.get(), AE_IFREG);
            archive_entry_set_perm(entry.get(), 0644);
            size = member.zeroBytes > 0 ? member.zeroBytes : member.data.size();
            if (member.sparseSize > 0) {
                // The size first: a region past the size is not taken.
                size = member.sparseSize;
                archive_entry_set_size(entry.get(), size);
                archive_entry_sparse_add_entry(entry.get(), 0, member.data.size());
            }
            break;
        case ArchiveMember::Kind::folder:
            archive_entry_set_filetype(entry.get(), AE_IFDIR);
            archive_entry_set_perm(entry.get(), 0755);
            break;
        case ArchiveMember::Kind::symlink:
            archive_entry_set_filetype(entry.get(), AE_IFLNK);
            archive_entry_set_perm(entry.get(), 0777);
            archive_entry_set_symlink(entry.get(), member.target.constData());
            break;
        case ArchiveMember::Kind::hardlink:
            archive_entry_set_filetype(entry.get(), AE_IFREG);
            archive_entry_set_perm(entry.get(), 0644);
            archive_entry_set_hardlink(entry.get(), member.target.constData());
            break;
        case ArchiveMember::Kind::fifo:
            archive_entry_set_filetype(entry.get(), AE_IFIFO);
            archive_entry_set_perm(entry.get(), 0644);
            break;
        }
        if (member.mode >= 0) {
            archive_entry_set_perm(entry.get(), static_cast<mode_t>(member.mode));
        }
        archive_entry_set_size(entry.get(), size);
        ASSERT_EQ(archive_write_header(out.get(), entry.get()), ARCHIVE_OK)
            << member.name.toStdString() << ": " << archive_error_string(out.get());
        if (member.zeroBytes > 0) {
            const QByteArray zeros(1 << 20, '\0');
            for (qint64 left = member.zeroBytes; left > 0; left -= zeros.size()) {
                const qint64 step = std::min<qint64>(left, zeros.size());
                ASSERT_EQ(archive_write_data(out.get(), zeros.constData(), static_cast<size_t>(step)), step);
            }
        } else if (!member.data.isEmpty()) {
            ASSERT_EQ(archive_write_data(out.get(), member.data.constData(), static_cast<size_t>(member.data.size())),
                      member.data.size());
        }
    }
    ASSERT_EQ(archive_write_close(out.get()), ARCHIVE_OK) << archive_error_string(out.get());
}

ThrowawayKey::ThrowawayKey()
    : key_(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"))
{}

ThrowawayKey::~ThrowawayKey()
{
    EVP_PKEY_free(key_);
}

const ThrowawayKey& ThrowawayKey::shared()
{
    static const ThrowawayKey key;
    return key;
}

QByteArray ThrowawayKey::publicKey() const
{
    QByteArray raw(32, '\0');
    size_t length = 32;
    EVP_PKEY_get_raw_public_key(key_, reinterpret_cast<unsigned char*>(raw.data()), &length);
    return raw;
}

QByteArray ThrowawayKey::sign(const QByteArray& message) const
{
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    unsigned char signature[64];
    size_t length = sizeof(signature);
    EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key_);
    EVP_DigestSign(context.get(), signature, &length, reinterpret_cast<const unsigned char*>(message.constData()),
                   static_cast<size_t>(message.size()));
    return QByteArray(reinterpret_cast<const char*>(signature), static_cast<qsizetype>(length));
}

void ThrowawayKey::signFile(const QString& package) const
{
    Sandbox::write(PackageArchive::signaturePath(package), sign(Sandbox::read(package)));
}

GloamyardInstaller::Trust ThrowawayKey::trust() const
{
    // The id is made as the build makes its key's: the first ten hex digits
    // of the SHA-256 of the public key in DER form.
    unsigned char* der = nullptr;
    const int length = i2d_PUBKEY(key_, &der);
    const QByteArray encoded(reinterpret_cast<const char*>(der), length);
    OPENSSL_free(der);
    GloamyardInstaller::Trust trust;
    trust.team =
        QString::fromLatin1(QCryptographicHash::hash(encoded, QCryptographicHash::Sha256).toHex().left(10)).toUpper();
    trust.publicKey = publicKey();
    return trust;
}

} // namespace gloam::installer::test
