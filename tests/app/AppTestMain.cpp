// The app's widget tests run on Qt's offscreen platform (no display needed)
// and keep their stored choices in a private config directory.
#include "tests/support/TemporaryFolder.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <QtGlobal>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

QtMessageHandler defaultHandler = nullptr;

// The offscreen platform says, for every window, that it cannot raise it
// or pass on size hints: true, and of no interest here.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QStringLiteral("This plugin does not support"))) {
        return;
    }
    defaultHandler(type, context, message);
}

} // namespace

int main(int argc, char** argv)
{
    defaultHandler = qInstallMessageHandler(quietHandler);
    const gloam::testing::TemporaryFolder home("gloamyard-app");
    ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (home / "cache").c_str(), 1);
    // One 1920 × 1080 screen (the platform's own is 800 × 600, smaller than
    // the window).
    const std::filesystem::path screens = home / "screens.json";
    std::ofstream(screens) << R"({"screens": [{"name": "Screen", "x": 0, "y": 0, "width": 1920, "height": 1080,
                                  "logicalDpi": 96, "logicalBpp": 32, "dpr": 1.0}]})";
    ::setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screens.string()).c_str(), 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
