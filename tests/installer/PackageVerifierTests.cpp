// The checks of an unpacked package: program manifests and every file's
// hash against the file manifest.
#include "installer/GloamyardInstaller.h"
#include "installer/InstallerError.h"
#include "installer/PackageArchive.h"
#include "installer/PackageVerifier.h"
#include "tests/installer/Sandbox.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace gloam::installer::test {
namespace {

class Verifier : public ::testing::Test {
protected:
    Sandbox sandbox;
    QString tree = sandbox.root() + QStringLiteral("/tree");
    const QStringList identifiers{QStringLiteral("net.gloamyard.Gloamyard"),
                                  QStringLiteral("net.gloamyard.Gloamyard.NativeSaver")};

    void SetUp() override
    {
        QDir().mkpath(tree);
        const auto unpacked = PackageArchive::unpack(sandbox.environment.packagePath, sandbox.trust.publicKey, tree);
        ASSERT_EQ(unpacked.outcome, PackageArchive::Outcome::unpacked) << unpacked.why.toStdString();
    }

    PackageVerifier verifier(const QString& version = QStringLiteral("1.0.8"),
                             const QString& build = QStringLiteral("71")) const
    {
        return PackageVerifier(tree, {version, build});
    }

    bool valid(QString* why = nullptr) const { return verifier().filesValid(identifiers, why); }
};

TEST_F(Verifier, TheBuiltPackageIsWhole)
{
    QString why;
    EXPECT_TRUE(valid(&why)) << why.toStdString();
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
        {"manifest missing", [](const QString& root) { QFile::remove(root + QStringLiteral("/FileManifest")); }},
        {"program listed with another hash",
         [](const QString& root) {
             const QString path = root + QStringLiteral("/FileManifest");
             QByteArray manifest = Sandbox::read(path);
             const qsizetype at = manifest.indexOf(" x bin/gloamyard\n") - 64;
             manifest[at] = manifest[at] == '0' ? '1' : '0';
             Sandbox::write(path, manifest);
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

TEST_F(Verifier, TheManifestMustNameBothPrograms)
{
    EXPECT_FALSE(verifier().filesValid({QStringLiteral("net.gloamyard.Other")}));
    EXPECT_FALSE(verifier().filesValid(identifiers + QStringList{QStringLiteral("net.gloamyard.Other")}));
}

} // namespace
} // namespace gloam::installer::test
