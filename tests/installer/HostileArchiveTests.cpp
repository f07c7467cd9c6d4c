// Packages an attacker could put in the installer's place, each through a
// whole install over a good one: nothing lands outside the staging folder,
// the installed tree and the user's files stay as they were, and the
// message says what was wrong.
#include "installer/GloamyardInstaller.h"
#include "installer/PackageArchive.h"
#include "tests/installer/Sandbox.h"
#include "tests/installer/TestPackage.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace gloam::installer::test {
namespace {

using Kind = ArchiveMember::Kind;
using Members = std::vector<ArchiveMember>;

enum class Signer { ours, another, tamperedAfterwards };

struct Hostile {
    const char* name;
    // The good package's members in, the hostile package's out; `outside`
    // is a folder outside the home where an escape would land.
    std::function<Members(Members good, const QString& outside)> make;
    Signer signer;
    QString message;
};

QString damaged(const QString& why)
{
    return QStringLiteral("The installation package is damaged (%1), so nothing was installed. Download the "
                          "installer again.")
        .arg(why);
}

const QString notSigned = QStringLiteral(
    "The installation package is not signed by Gloamyard’s maker, so nothing was installed. Download the installer "
    "again.");

class HostileArchive : public ::testing::TestWithParam<Hostile> {
public:
    Sandbox sandbox;

    std::unique_ptr<GloamyardInstaller> makeInstaller()
    {
        auto installer = std::make_unique<GloamyardInstaller>(sandbox.environment, sandbox.trust);
        installer->applicationDidFinishLaunching();
        return installer;
    }
};

TEST_P(HostileArchive, IsRefusedAndChangesNothing)
{
    {
        auto first = makeInstaller();
        clickAndWait(*first);
        ASSERT_TRUE(first->registered()) << first->message()->text().toStdString();
    }
    const QString outside = sandbox.root() + QStringLiteral("/outside");
    QDir().mkpath(outside);
    const auto homeBefore = Sandbox::snapshot(sandbox.home());
    const auto outsideBefore = Sandbox::snapshot(outside);

    const QString package = sandbox.root() + QStringLiteral("/hostile.pkg");
    TestPackage::write(package, GetParam().make(TestPackage::read(sandbox.environment.packagePath), outside));
    switch (GetParam().signer) {
    case Signer::ours:
        ThrowawayKey::shared().signFile(package);
        break;
    case Signer::another: {
        const ThrowawayKey other;
        other.signFile(package);
        break;
    }
    case Signer::tamperedAfterwards: {
        ThrowawayKey::shared().signFile(package);
        QByteArray bytes = Sandbox::read(package);
        bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x20);
        Sandbox::write(package, bytes);
        break;
    }
    }
    sandbox.environment.packagePath = package;

    auto installer = makeInstaller();
    clickAndWait(*installer);
    EXPECT_EQ(installer->heading()->text(), QStringLiteral("Setup couldn’t finish"));
    EXPECT_EQ(installer->message()->text(), QString(GetParam().message).replace(QStringLiteral("OUTSIDE"), outside));
    EXPECT_EQ(installer->action()->text(), QStringLiteral("Retry Installation"));
    EXPECT_FALSE(installer->registered());

    // The home is as it was, file for file: the installed tree, the
    // settings, the menus; no staging folder is left.
    EXPECT_EQ(Sandbox::snapshot(sandbox.home()), homeBefore);
    EXPECT_EQ(Sandbox::snapshot(outside), outsideBefore);
    EXPECT_FALSE(QFile::exists(sandbox.root() + QStringLiteral("/escaped")));
    EXPECT_FALSE(QFile::exists(sandbox.environment.dataHome + QStringLiteral("/escaped")));
}

Members plus(Members members, ArchiveMember extra)
{
    members.push_back(std::move(extra));
    return members;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, HostileArchive,
    ::testing::Values(
        Hostile{"SignedByAnotherKey", [](Members good, const QString&) { return good; }, Signer::another, notSigned},
        Hostile{"ChangedAfterSigning", [](Members good, const QString&) { return good; }, Signer::tamperedAfterwards,
                notSigned},
        // A hostile member behind a bad signature is never looked at.
        Hostile{"HostileAndUnsigned",
                [](Members good, const QString&) {
                    return plus(std::move(good), {"../escaped", Kind::file, "x", {}, 0, 0});
                },
                Signer::another, notSigned},
        Hostile{"DotDot",
                [](Members good, const QString&) {
                    return plus(std::move(good), {"bin/../../escaped", Kind::file, "x", {}, 0, 0});
                },
                Signer::ours, damaged(QStringLiteral("“bin/../../escaped” points outside the package"))},
        Hostile{"AbsoluteName",
                [](Members good, const QString& outside) {
                    return plus(std::move(good), {QFile::encodeName(outside) + "/absolute", Kind::file, "x", {}, 0, 0});
                },
                Signer::ours, damaged(QStringLiteral("“OUTSIDE/absolute” points outside the package"))},
        Hostile{"SymlinkThenFile",
                [](Members good, const QString& outside) {
                    Members members{{"share", Kind::folder, {}, {}, 0, 0},
                                    {"share/way-out", Kind::symlink, {}, QFile::encodeName(outside), 0, 0},
                                    {"share/way-out/planted", Kind::file, "x", {}, 0, 0}};
                    members.insert(members.end(), good.begin(), good.end());
                    return members;
                },
                Signer::ours, damaged(QStringLiteral("“share/way-out” is a link"))},
        Hostile{"HardLink",
                [](Members good, const QString&) {
                    return plus(std::move(good), {"bin/passwd", Kind::hardlink, {}, "/etc/passwd", 0, 0});
                },
                Signer::ours, damaged(QStringLiteral("“bin/passwd” is a link"))},
        Hostile{"Fifo",
                [](Members good, const QString&) {
                    return plus(std::move(good), {"share/pipe", Kind::fifo, {}, {}, 0, 0});
                },
                Signer::ours, damaged(QStringLiteral("“share/pipe” is not a file or a folder"))},
        Hostile{"HugeSparseMember",
                [](Members good, const QString&) {
                    // A terabyte under a name the package lists.
                    for (ArchiveMember& member : good) {
                        if (member.name == "share/gloamyard/Resources/PropTargets.json") {
                            member.sparseSize = 1LL << 40;
                        }
                    }
                    return good;
                },
                Signer::ours, damaged(QStringLiteral("“share/gloamyard/Resources/PropTargets.json” is a sparse file"))},
        Hostile{"CompressionBomb",
                [](Members good, const QString&) {
                    // A gigabyte of zeros, a few hundred kilobytes packed.
                    return plus(std::move(good),
                                {"share/gloamyard/Resources/zeros", Kind::file, {}, {}, 0, (1LL << 30) + 1});
                },
                Signer::ours, damaged(QStringLiteral("it unpacks to more than 1024 MiB"))},
        Hostile{"TooManyMembers",
                [](Members good, const QString&) {
                    for (int k = 0; k < 20001; ++k) {
                        good.push_back({"share/many/" + QByteArray::number(k), Kind::file, {}, {}, 0, 0});
                    }
                    return good;
                },
                Signer::ours, damaged(QStringLiteral("it holds more than 20000 files"))}),
    [](const auto& param) { return std::string(param.param.name); });

} // namespace
} // namespace gloam::installer::test
