// The installed tree's swap, its recovery after an interruption, and
// removal that never follows a symbolic link.
#include "installer/InstallTree.h"
#include "tests/installer/Sandbox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace gloam::installer::test {
namespace {

class Tree : public ::testing::Test {
protected:
    Sandbox sandbox;
    QString parent = sandbox.root() + QStringLiteral("/data");
    QString path = parent + QStringLiteral("/net.gloamyard.Gloamyard");
    QString previous = parent + QStringLiteral("/.net.gloamyard.Gloamyard.previous");

    void fill(const QString& folder, const QByteArray& version) const
    {
        Sandbox::write(folder + QStringLiteral("/bin/gloamyard"), version);
        Sandbox::write(folder + QStringLiteral("/share/notes"), "notes " + version);
    }

    QStringList sideFolders() const
    {
        return QDir(parent).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
};

TEST_F(Tree, BothSwapsLeaveExactlyTheNewTree)
{
    for (const auto swap : {InstallTree::Swap::exchange, InstallTree::Swap::twoRenames}) {
        InstallTree::removeFolder(parent);
        const InstallTree tree(path, swap);
        fill(path, "old");
        QString why;
        const QString staging = tree.makeStaging(&why);
        ASSERT_FALSE(staging.isEmpty()) << why.toStdString();
        fill(staging, "new");
        ASSERT_TRUE(tree.replaceWith(staging, &why)) << why.toStdString();
        EXPECT_EQ(Sandbox::read(path + QStringLiteral("/bin/gloamyard")), "new");
        EXPECT_EQ(Sandbox::read(path + QStringLiteral("/share/notes")), "notes new");
        EXPECT_EQ(sideFolders(), QStringList(QStringLiteral("net.gloamyard.Gloamyard")));
    }
}

TEST_F(Tree, AnOldTreeSetAsideIsPutBackWhenTheNewOneNeverArrived)
{
    // Stopped between the two renames: the old tree aside, no tree in place.
    fill(previous, "old");
    InstallTree(path, InstallTree::Swap::twoRenames).recover();
    EXPECT_EQ(Sandbox::read(path + QStringLiteral("/bin/gloamyard")), "old");
    EXPECT_EQ(sideFolders(), QStringList(QStringLiteral("net.gloamyard.Gloamyard")));
}

TEST_F(Tree, AnOldTreeSetAsideIsDroppedWhenTheNewOneIsInPlace)
{
    // Stopped after the second rename, before the old tree was removed.
    fill(previous, "old");
    fill(path, "new");
    fill(parent + QStringLiteral("/.net.gloamyard.Gloamyard.staging-x1y2z3"), "half");
    InstallTree(path).recover();
    EXPECT_EQ(Sandbox::read(path + QStringLiteral("/bin/gloamyard")), "new");
    EXPECT_EQ(sideFolders(), QStringList(QStringLiteral("net.gloamyard.Gloamyard")));
}

TEST_F(Tree, RemovalNeverFollowsASymbolicLink)
{
    const QString precious = sandbox.root() + QStringLiteral("/precious");
    Sandbox::write(precious + QStringLiteral("/letter.txt"), "keep me");
    fill(path, "installed");
    // A link inside the tree, and a link in the tree's own place.
    ASSERT_TRUE(QFile::link(precious, path + QStringLiteral("/share/link")));
    ASSERT_TRUE(InstallTree(path).remove(nullptr));
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(Sandbox::read(precious + QStringLiteral("/letter.txt")), "keep me");

    ASSERT_TRUE(QFile::link(precious, path));
    QString why;
    ASSERT_TRUE(InstallTree(path).remove(&why)) << why.toStdString();
    EXPECT_FALSE(QFileInfo(path).isSymLink());
    EXPECT_EQ(Sandbox::read(precious + QStringLiteral("/letter.txt")), "keep me");
}

} // namespace
} // namespace gloam::installer::test
