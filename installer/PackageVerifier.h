#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace gloam::installer {

// Checks an unpacked package tree against what the installer was built for.
// The tree comes from a package whose signature was checked before it was
// unpacked, so its file manifest is the maker's.
class PackageVerifier {
public:
    struct Expectation {
        QString version;
        QString build;
    };

    PackageVerifier(QString root, Expectation expected);

    // The manifest of one program ("Manifests/gloamyard.json"): true when it
    // is a non-empty object whose "identifier", "version" and "build" are
    // strings equal to the expected ones (exact, in that order). A file that
    // cannot be read or parsed throws an InstallerError with the system's
    // description.
    bool programManifestMatches(const QString& manifest, const QString& identifier) const;

    // Every file: "FileManifest" names the given identifiers and lists every
    // regular file of the tree with its SHA-256 (nothing missing, nothing
    // extra, programs executable); the tree holds nothing but folders and
    // regular files. `why` says what failed, for tests and logs.
    bool filesValid(const QStringList& identifiers, QString* why = nullptr) const;

    static QByteArray sha256OfFile(const QString& path, bool* ok);

private:
    QString root_;
    Expectation expected_;
};

} // namespace gloam::installer
