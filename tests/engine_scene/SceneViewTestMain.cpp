// Scene-view tests run a Qt event loop (the load is a task on it) and keep
// their stored choices in a private config directory.
#include <QCoreApplication>

#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

int main(int argc, char** argv)
{
    const gloam::testing::TemporaryFolder home("gloamyard-view");
    ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
