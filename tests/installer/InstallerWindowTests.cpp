// The installer's window: its texts and sizes, and the busy rules.
#include "installer/GloamyardInstaller.h"
#include "installer/InstallerWindow.h"
#include "tests/installer/Sandbox.h"

#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace gloam::installer::test {
namespace {

TEST(InstallerWindow, StartsInTheLaunchedState)
{
    Sandbox sandbox;
    GloamyardInstaller installer(sandbox.environment);
    installer.applicationDidFinishLaunching();
    InstallerWindow* window = installer.window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Install Gloamyard"));
    EXPECT_EQ(window->size(), QSize(540, 390));
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "not resizable";
    EXPECT_TRUE(window->isVisible());

    EXPECT_EQ(installer.heading()->text(), QStringLiteral("Gloamyard"));
    EXPECT_EQ(installer.heading()->font().pointSizeF(), 26);
    EXPECT_EQ(installer.message()->text(),
              QStringLiteral("Install the screensaver and companion app for your account.\nThe XScreenSaver "
                             "settings will briefly close and reopen."));
    EXPECT_EQ(installer.message()->font().pointSizeF(), 14);
    EXPECT_TRUE(installer.status()->text().isEmpty());
    EXPECT_EQ(installer.status()->font().pointSizeF(), 12);
    EXPECT_EQ(installer.action()->text(), QStringLiteral("Install"));
    EXPECT_TRUE(installer.action()->isEnabled());
    EXPECT_TRUE(installer.action()->isDefault()) << "Return presses it";
    EXPECT_GE(installer.action()->width(), 180);
    EXPECT_FALSE(installer.progress()->isVisible());
    EXPECT_FALSE(installer.busy());
    EXPECT_TRUE(installer.applicationShouldTerminateAfterLastWindowClosed());
}

TEST(InstallerWindow, WhileBusyNothingElseStartsAndNothingCloses)
{
    Sandbox sandbox;
    // A registration step slow enough to act during it.
    sandbox.writeTool(QStringLiteral("update-desktop-database"), "echo \"update-desktop-database $*\" >> '" +
                                                                     QFile::encodeName(sandbox.root()) +
                                                                     "/tools.log'\n"
                                                                     "/bin/sleep 1\n");
    GloamyardInstaller installer(sandbox.environment, sandbox.trust);
    installer.applicationDidFinishLaunching();
    installer.performAction();
    ASSERT_TRUE(waitUntil([&] {
        return installer.status()->text() == QStringLiteral("Adding Gloamyard to the XScreenSaver settings…");
    }));

    EXPECT_TRUE(installer.busy());
    EXPECT_EQ(installer.heading()->text(), QStringLiteral("Installing Gloamyard"));
    EXPECT_FALSE(installer.action()->isEnabled());
    EXPECT_TRUE(installer.progress()->isVisible());
    EXPECT_FALSE(installer.applicationShouldTerminate());
    EXPECT_FALSE(installer.window()->close());
    EXPECT_TRUE(installer.window()->isVisible());
    // A second click and Return do nothing.
    installer.performAction();
    QTest::keyClick(installer.window(), Qt::Key_Return);

    waitUntil([&] { return !installer.busy(); });
    EXPECT_EQ(sandbox.toolLog().count(QStringLiteral("update-desktop-database")), 1);
    EXPECT_EQ(installer.heading()->text(), QStringLiteral("Installation complete"));
    EXPECT_FALSE(installer.progress()->isVisible());
    EXPECT_TRUE(installer.applicationShouldTerminate());
    EXPECT_TRUE(installer.window()->close());
}

TEST(InstallerWindow, AFailureLeavesARetryThatCanClose)
{
    Sandbox sandbox;
    sandbox.environment.packagePath.clear();
    GloamyardInstaller installer(sandbox.environment);
    installer.applicationDidFinishLaunching();
    QTest::keyClick(installer.action(), Qt::Key_Return);
    waitUntil([&] { return installer.action()->text() == QStringLiteral("Retry Installation"); });
    EXPECT_EQ(installer.heading()->text(), QStringLiteral("Setup couldn’t finish"));
    EXPECT_EQ(installer.message()->text(),
              QStringLiteral("The installation package is missing. Download the installer again."));
    EXPECT_TRUE(installer.action()->isEnabled());
    EXPECT_FALSE(installer.progress()->isVisible());
    EXPECT_TRUE(installer.window()->close());
}

} // namespace
} // namespace gloam::installer::test
