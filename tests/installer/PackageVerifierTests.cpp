// The checks of an unpacked package: program manifests, the signature of
// the file manifest and every file's hash.
#include "installer/GloamyardInstaller.h"
#include "installer/InstallerError.h"
#include "installer/PackageVerifier.h"
#include "tests/installer/Sandbox.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace gloam::installer::test {
namespace {

class Verifier : public ::testing::Test {
protected:
    Sandbox sandbox;
    QString tree = sandbox.root() + QStringLiteral("/tree");
    GloamyardInstaller::Trust trust = GloamyardInstaller::Trust::builtIn();
    const QStringList identifiers{QStringLiteral("net.gloamyard.Gloamyard"),
                                  QStringLiteral("net.gloamyard.Gloamyard.NativeSaver")};

    void SetUp() override
    {
        QDir().mkpath(tree);
        ASSERT_EQ(QProcess::execute(QStringLiteral("tar"), {QStringLiteral("-x"), QStringLiteral("-f"),
                                                            Sandbox::package("good.pkg"), QStringLiteral("-C"), tree}),
                  0);
    }

    PackageVerifier verifier(const QString& version = QStringLiteral("1.0.8"),
                             const QString& build = QStringLiteral("71")) const
    {
        return PackageVerifier(tree, {trust.team, trust.publicKey, version, build});
    }

    bool valid(QString* why = nullptr) const { return verifier().signatureAndFilesValid(identifiers, why); }
};

TEST_F(Verifier, TheBuiltPackageIsSignedAndWhole)
{
    QString why;
    EXPECT_TRUE(valid(&why)) << why.toStdString();
    EXPECT_EQ(trust.team.size(), 10);
    EXPECT_EQ(trust.publicKey.size(), 32);
    EXPECT_TRUE(verifier().programManifestMatches(QStringLiteral("Manifests/gloamyard.json"), identifiers[0]));
    EXPECT_TRUE(verifier().programManifestMatches(QStringLiteral("Manifests/gloamyard-saver.json"), identifiers[1]));
}

TEST_F(Verifier, ManifestsMustMatchExactly)
{
    struct Case {
        const char* version;
        const char* build;
        const char* identifier;
    };
    for (const Case& c :
         {Case{"1.0.80", "71", "net.gloamyard.Gloamyard"}, Case{"1.0.8 ", "71", "net.gloamyard.Gloamyard"},
          Case{"1.0.8", "71.0", "net.gloamyard.Gloamyard"}, Case{"1.0.8", "71", "net.gloamyard.gloamyard"},
          Case{"1.0.8", "71", "net.gloamyard.Gloamyard.NativeSaver"}}) {
        EXPECT_FALSE(
            verifier(QString::fromLatin1(c.version), QString::fromLatin1(c.build))
                .programManifestMatches(QStringLiteral("Manifests/gloamyard.json"), QString::fromLatin1(c.identifier)))
            << c.version << " " << c.build << " " << c.identifier;
    }
    // A version given as a number, not a string, does not match either.
    Sandbox::write(tree + QStringLiteral("/Manifests/gloamyard.json"),
                   R"({"identifier": "net.gloamyard.Gloamyard", "version": 1.08, "build": "71"})");
    EXPECT_FALSE(verifier().programManifestMatches(QStringLiteral("Manifests/gloamyard.json"), identifiers[0]));
    Sandbox::write(tree + QStringLiteral("/Manifests/gloamyard.json"), "{}");
    EXPECT_FALSE(verifier().programManifestMatches(QStringLiteral("Manifests/gloamyard.json"), identifiers[0]));
}

TEST_F(Verifier, AnUnreadableManifestIsASystemError)
{
    Sandbox::write(tree + QStringLiteral("/Manifests/gloamyard.json"), "{\"identifier\": ");
    EXPECT_THROW(verifier().programManifestMatches(QStringLiteral("Manifests/gloamyard.json"), identifiers[0]),
                 InstallerError);
    EXPECT_THROW(verifier().programManifestMatches(QStringLiteral("Manifests/missing.json"), identifiers[0]),
                 InstallerError);
}

TEST_F(Verifier, AnyChangeToTheTreeFailsIt)
{
    struct Change {
        const char* name;
        std::function<void(const QString&)> make;
    };
    const std::vector<Change> changes{
        {"tampered resource",
         [](const QString& root) {
             Sandbox::write(root + QStringLiteral("/share/gloamyard/Resources/PropTargets.json"), "x");
         }},
        {"missing resource",
         [](const QString& root) {
             QFile::remove(root + QStringLiteral("/share/gloamyard/Resources/Audio/thunder roll.wav"));
         }},
        {"extra file", [](const QString& root) { Sandbox::write(root + QStringLiteral("/bin/extra"), "x"); }},
        {"symbolic link",
         [](const QString& root) { QFile::link(QStringLiteral("/etc/passwd"), root + QStringLiteral("/share/link")); }},
        {"program not executable",
         [](const QString& root) {
             QFile::setPermissions(root + QStringLiteral("/bin/gloamyard-saver"),
                                   QFileDevice::ReadOwner | QFileDevice::WriteOwner);
         }},
        {"manifest edited",
         [](const QString& root) {
             const QString path = root + QStringLiteral("/FileManifest");
             Sandbox::write(path, Sandbox::read(path) +
                                      "0000000000000000000000000000000000000000000000000000000000000000 - x\n");
         }},
        {"signature missing", [](const QString& root) { QFile::remove(root + QStringLiteral("/FileManifest.sig")); }},
        {"signature truncated",
         [](const QString& root) {
             const QString path = root + QStringLiteral("/FileManifest.sig");
             Sandbox::write(path, Sandbox::read(path).left(63));
         }},
    };
    for (const Change& change : changes) {
        QDir(tree).removeRecursively();
        SetUp();
        ASSERT_TRUE(valid());
        change.make(tree);
        QString why;
        EXPECT_FALSE(valid(&why)) << change.name;
        EXPECT_FALSE(why.isEmpty()) << change.name;
    }
}

TEST_F(Verifier, AnotherKeyOrTeamIsRefused)
{
    GloamyardInstaller::Trust other = trust;
    other.publicKey[0] = static_cast<char>(other.publicKey[0] ^ 1);
    EXPECT_FALSE(PackageVerifier(tree, {other.team, other.publicKey, QStringLiteral("1.0.8"), QStringLiteral("71")})
                     .signatureAndFilesValid(identifiers));
    EXPECT_FALSE(PackageVerifier(tree, {QStringLiteral("0000000000"), trust.publicKey, QStringLiteral("1.0.8"),
                                        QStringLiteral("71")})
                     .signatureAndFilesValid(identifiers));
    EXPECT_FALSE(verifier().signatureAndFilesValid({QStringLiteral("net.gloamyard.Other")}));
}

} // namespace
} // namespace gloam::installer::test
