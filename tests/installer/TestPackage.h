#pragma once

#include "installer/GloamyardInstaller.h"

#include <QByteArray>
#include <QString>

#include <openssl/types.h>

#include <vector>

namespace gloam::installer::test {

// One member of an archive a test writes, hostile ones included.
struct ArchiveMember {
    enum class Kind { file, folder, symlink, hardlink, fifo };
    QByteArray name;
    Kind kind = Kind::file;
    QByteArray data;       // a file's bytes
    QByteArray target;     // a link's target
    qint64 sparseSize = 0; // > 0: a sparse file this long, `data` at its start and holes after
    qint64 zeroBytes = 0;  // > 0: a file of this many zero bytes, streamed rather than held
    int mode = -1;         // the mode the header gives; -1: 0644 for files, 0755 for folders
};

// Packages as the build writes them (tar, pax, zstd), read and written with
// libarchive, so a test can take the built package apart, change it and put
// it together again.
struct TestPackage {
    static std::vector<ArchiveMember> read(const QString& package);
    // `compressed` false writes a plain tar.
    static void write(const QString& package, const std::vector<ArchiveMember>& members, bool compressed = true);
    static ArchiveMember* find(std::vector<ArchiveMember>& members, const QByteArray& name);
};

// An Ed25519 key made when the tests run, never the build's.
class ThrowawayKey {
public:
    ThrowawayKey();
    ~ThrowawayKey();
    ThrowawayKey(const ThrowawayKey&) = delete;
    ThrowawayKey& operator=(const ThrowawayKey&) = delete;

    // One key for the whole test program.
    static const ThrowawayKey& shared();

    QByteArray publicKey() const;
    QByteArray sign(const QByteArray& message) const;
    // Writes the detached signature of `package` beside it.
    void signFile(const QString& package) const;
    // What the installer is given to trust this key.
    GloamyardInstaller::Trust trust() const;

private:
    EVP_PKEY* key_;
};

} // namespace gloam::installer::test
