// The options sheet's tests: widgets on Qt's offscreen platform, against a
// private config and cache directory, never the user's own.
#include "tests/support/TemporaryFolder.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

int main(int argc, char** argv)
{
    const gloam::testing::TemporaryFolder home("gloamyard-options");
    ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (home / "cache").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::unsetenv("HALLOWEEN_SAVER_DIAGNOSTICS");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
