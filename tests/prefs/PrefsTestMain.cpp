// The preference tests run against a private config and cache directory,
// never the user's own.
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

int main(int argc, char** argv)
{
    const gloam::testing::TemporaryFolder home("gloamyard-prefs");
    ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (home / "cache").c_str(), 1);
    ::unsetenv("HALLOWEEN_SAVER_DIAGNOSTICS");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
