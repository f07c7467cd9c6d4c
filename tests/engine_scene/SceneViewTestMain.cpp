// Scene-view tests run a Qt event loop (the load is a task on it) and keep
// their stored choices in a private config directory.
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

int main(int argc, char** argv)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "gloamyard-view-XXXXXX").string();
    const std::filesystem::path home = ::mkdtemp(pattern.data());
    ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::filesystem::remove_all(home);
    return result;
}
