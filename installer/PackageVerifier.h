#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace gloam::installer {

// Checks an unpacked package tree against what the installer was built for.
class PackageVerifier {
public:
    struct Expectation {
        QString team;
        QByteArray publicKey; // raw 32-byte Ed25519 key
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

    // The maker's signature and every file: "FileManifest" is signed by the
    // expected key ("FileManifest.sig"), names the expected team and the
    // given identifiers, and lists every regular file of the tree with its
    // SHA-256 (nothing missing, nothing extra, programs executable); the
    // tree holds nothing but folders and regular files. `why` says what
    // failed, for tests and logs.
    bool signatureAndFilesValid(const QStringList& identifiers, QString* why = nullptr) const;

    static QByteArray sha256OfFile(const QString& path, bool* ok);
    static bool ed25519Verify(const QByteArray& publicKey, const QByteArray& message, const QByteArray& signature);

private:
    QString root_;
    Expectation expected_;
};

} // namespace gloam::installer
