#pragma once

#include <QByteArray>
#include <QString>

namespace gloam::installer {

// What a package may unpack to at most.
struct PackageLimits {
    qint64 packageBytes = 256LL << 20; // the compressed file
    int members = 20000;               // files and folders
    qint64 unpackedBytes = 1LL << 30;  // the sum of the files' sizes
};

// The package the installer carries: a zstd-compressed tar archive
// ("Install Gloamyard.pkg") with a detached Ed25519 signature over all of
// its bytes beside it ("Install Gloamyard.pkg.sig", 64 bytes).
//
// The whole file is read into memory once, its signature is checked, and
// only then is a member read, from those same bytes, so a file swapped
// after the check is never unpacked. Unpacking uses libarchive's secure
// extraction and takes only regular files and folders, within caps on the
// number of members and their total size; modes are ours, whatever the
// archive says (0755 for folders and for programs in bin/, 0644 for files).
class PackageArchive {
public:
    using Limits = PackageLimits;

    enum class Outcome {
        unpacked,
        missing,     // no package or no signature file
        unsigned_,   // the signature does not hold for the key
        damaged,     // signed, but not a package we unpack (`why` says which member and why)
        writeFailed, // the disk refused (full, read-only...)
    };

    struct Result {
        Outcome outcome = Outcome::missing;
        QString why;
    };

    static QString signaturePath(const QString& package) { return package + QStringLiteral(".sig"); }

    // Checks `package` against `publicKey` (raw 32-byte Ed25519) and unpacks
    // it into the empty folder `staging`. On any outcome but `unpacked`,
    // `staging` may hold part of the package and is the caller's to discard.
    static Result unpack(const QString& package, const QByteArray& publicKey, const QString& staging,
                         const Limits& limits = {});

    static bool ed25519Verify(const QByteArray& publicKey, const QByteArray& message, const QByteArray& signature);
};

} // namespace gloam::installer
