// The package's trust chain on its own: the signature over every byte
// comes first, and what is unpacked gets our modes.
#include "installer/GloamyardInstaller.h"
#include "installer/InstallTree.h"
#include "installer/PackageArchive.h"
#include "tests/installer/Sandbox.h"
#include "tests/installer/TestPackage.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace gloam::installer::test {
namespace {

using Outcome = PackageArchive::Outcome;
using Kind = ArchiveMember::Kind;

class Archive : public ::testing::Test {
protected:
    Sandbox sandbox;
    QString staging = sandbox.root() + QStringLiteral("/staging");

    void SetUp() override { QDir().mkpath(staging); }

    PackageArchive::Result unpack(const QString& package, const QByteArray& key, PackageArchive::Limits limits = {})
    {
        return PackageArchive::unpack(package, key, staging, limits);
    }

    QStringList unpacked() const
    {
        return QDir(staging).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    }
};

mode_t modeOf(const QString& path)
{
    struct stat info {};
    lstat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 07777;
}

TEST_F(Archive, TheBuiltPackageUnpacksWithOurModesUnderAnyUmask)
{
    const QString package = sandbox.environment.packagePath;
    const mode_t mask = umask(077);
    const auto result = unpack(package, sandbox.trust.publicKey);
    umask(mask);
    ASSERT_EQ(result.outcome, Outcome::unpacked) << result.why.toStdString();

    int programs = 0;
    int files = 0;
    EXPECT_EQ(modeOf(staging), 0755u);
    QDirIterator walk(staging, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QString path = walk.next();
        const QString relative = path.mid(staging.size() + 1);
        const QFileInfo info(path);
        ASSERT_FALSE(info.isSymLink()) << relative.toStdString();
        if (info.isDir()) {
            EXPECT_EQ(modeOf(path), 0755u) << relative.toStdString();
        } else if (relative.startsWith(QStringLiteral("bin/"))) {
            EXPECT_EQ(modeOf(path), 0755u) << relative.toStdString();
            ++programs;
        } else {
            EXPECT_EQ(modeOf(path), 0644u) << relative.toStdString();
            ++files;
        }
    }
    EXPECT_EQ(programs, 2);
    EXPECT_GT(files, 5);
}

TEST_F(Archive, ArchiveModesAreNotKept)
{
    // Set-uid, world-writable and closed modes in the headers.
    const QString package = sandbox.root() + QStringLiteral("/modes.pkg");
    TestPackage::write(package, {{"bin", Kind::folder, {}, {}, 0, 0, 0700},
                                 {"bin/tool", Kind::file, "#!/bin/sh\n", {}, 0, 0, 04777},
                                 {"notes", Kind::file, "n", {}, 0, 0, 0666},
                                 {"secret", Kind::file, "s", {}, 0, 0, 0}});
    ThrowawayKey::shared().signFile(package);
    ASSERT_EQ(unpack(package, sandbox.trust.publicKey).outcome, Outcome::unpacked);
    EXPECT_EQ(modeOf(staging + QStringLiteral("/bin")), 0755u);
    EXPECT_EQ(modeOf(staging + QStringLiteral("/bin/tool")), 0755u);
    EXPECT_EQ(modeOf(staging + QStringLiteral("/notes")), 0644u);
    EXPECT_EQ(modeOf(staging + QStringLiteral("/secret")), 0644u);
}

TEST_F(Archive, TheSignatureCoversEveryByte)
{
    const QString package = sandbox.environment.packagePath;
    const QByteArray good = Sandbox::read(package);
    ASSERT_EQ(unpack(package, sandbox.trust.publicKey).outcome, Outcome::unpacked);

    struct Change {
        const char* name;
        QByteArray bytes;
    };
    QByteArray flippedLast = good;
    flippedLast[flippedLast.size() - 1] = static_cast<char>(flippedLast[flippedLast.size() - 1] ^ 1);
    for (const Change& change : {Change{"last byte changed", flippedLast}, Change{"a byte appended", good + '\0'},
                                 Change{"last byte cut", good.left(good.size() - 1)}}) {
        InstallTree::removeFolder(staging);
        QDir().mkpath(staging);
        Sandbox::write(package, change.bytes);
        const auto result = unpack(package, sandbox.trust.publicKey);
        EXPECT_EQ(result.outcome, Outcome::unsigned_) << change.name;
        EXPECT_TRUE(unpacked().isEmpty()) << change.name;
    }
}

TEST_F(Archive, TheInstallerBuiltHereRefusesATestSignedPackage)
{
    const auto result = unpack(sandbox.environment.packagePath, GloamyardInstaller::Trust::builtIn().publicKey);
    EXPECT_EQ(result.outcome, Outcome::unsigned_);
    EXPECT_TRUE(unpacked().isEmpty());
}

TEST_F(Archive, NoMemberIsReadBeforeTheSignatureHolds)
{
    // Hostile members behind a signature of another key: refused for the
    // signature, with nothing written anywhere.
    const QString package = sandbox.root() + QStringLiteral("/hostile.pkg");
    TestPackage::write(package, {{"../escaped", Kind::file, "x", {}, 0, 0},
                                 {"link", Kind::symlink, {}, QFile::encodeName(sandbox.root()), 0, 0}});
    const ThrowawayKey other;
    other.signFile(package);
    EXPECT_EQ(unpack(package, sandbox.trust.publicKey).outcome, Outcome::unsigned_);
    EXPECT_TRUE(unpacked().isEmpty());
    EXPECT_FALSE(QFile::exists(sandbox.root() + QStringLiteral("/escaped")));
}

TEST_F(Archive, MissingOrOversizedFilesAreNotRead)
{
    const QString package = sandbox.environment.packagePath;
    PackageArchive::Limits small;
    small.packageBytes = QFileInfo(package).size() - 1;
    const auto tooLarge = unpack(package, sandbox.trust.publicKey, small);
    EXPECT_EQ(tooLarge.outcome, Outcome::damaged);
    EXPECT_TRUE(unpacked().isEmpty());

    QFile::remove(PackageArchive::signaturePath(package));
    EXPECT_EQ(unpack(package, sandbox.trust.publicKey).outcome, Outcome::missing);
    EXPECT_EQ(unpack(sandbox.root() + QStringLiteral("/nothing.pkg"), sandbox.trust.publicKey).outcome,
              Outcome::missing);
}

TEST_F(Archive, OnlyOurCompressionIsRead)
{
    // The same members in a gzip-compressed archive, properly signed.
    const auto members = TestPackage::read(sandbox.environment.packagePath);
    const QString plain = sandbox.root() + QStringLiteral("/plain.pkg");
    TestPackage::write(plain, members, false);
    QFile::remove(plain + QStringLiteral(".gz"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("gzip"), {QStringLiteral("-k"), plain}), 0);
    ThrowawayKey::shared().signFile(plain + QStringLiteral(".gz"));
    EXPECT_EQ(unpack(plain + QStringLiteral(".gz"), sandbox.trust.publicKey).outcome, Outcome::damaged);
}

TEST_F(Archive, ADiskThatRefusesWritesIsAWriteFailure)
{
    // The staging folder's place taken by a file: nothing can be written.
    InstallTree::removeFolder(staging);
    Sandbox::write(staging, "not a folder");
    EXPECT_EQ(unpack(sandbox.environment.packagePath, sandbox.trust.publicKey).outcome, Outcome::writeFailed);
}

} // namespace
} // namespace gloam::installer::test
