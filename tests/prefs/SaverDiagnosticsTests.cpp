#include "tests/support/TemporaryFolder.h"
#include "engine/prefs/SaverDiagnostics.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <unistd.h>

using namespace gloam;
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string runPeer(const std::string& environment, const std::string& arguments)
{
    const std::string command = environment + " " + PREFS_PEER + " " + arguments;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    std::string output;
    std::array<char, 128> buffer{};
    while (pipe && std::fgets(buffer.data(), buffer.size(), pipe.get()) != nullptr) {
        output += buffer.data();
    }
    if (!output.empty() && output.back() == '\n') {
        output.pop_back();
    }
    return output;
}

} // namespace

TEST(SaverDiagnosticsTest, OnlyExactlyOneSwitchesTheLogOn)
{
    EXPECT_TRUE(diagnosticsSwitchValue("1"));
    for (const char* value : {static_cast<const char*>(nullptr), "", "0", "true", " 1", "1 ", "01", "yes"}) {
        EXPECT_FALSE(diagnosticsSwitchValue(value)) << (value ? value : "(absent)");
    }
}

TEST(SaverDiagnosticsTest, SwitchedOffNeverBuildsTheMessage)
{
    ASSERT_FALSE(saverDiagnosticsEnabled()); // the test main clears the variable
    bool built = false;
    saverRecord([&] {
        built = true;
        return std::string("never");
    });
    EXPECT_FALSE(built);
}

TEST(SaverDiagnosticsTest, TimestampIsIsoUtcWithWholeSeconds)
{
    EXPECT_EQ(SaverDiagnosticsLog::timestamp(1761948903), "2025-10-31T22:15:03Z");
    EXPECT_EQ(SaverDiagnosticsLog::timestamp(0), "1970-01-01T00:00:00Z");
}

TEST(SaverDiagnosticsTest, RecordsCreateTheFolderAndAppendLines)
{
    const gloam::testing::TemporaryFolder rootFolder("gloamyard-diag");
    const fs::path& root = rootFolder.path();
    const SaverDiagnosticsLog log(root / "deeper" / "net.gloamyard.Gloamyard", "lifecycle-42.txt");
    log.record([] { return std::string("startAnimation display=1"); });
    log.record([] { return std::string("Gespenst \xE2\x80\x94 ü"); });
    log.record([] { return std::string("two\nlines"); });

    const std::string text = readFile(log.file());
    const std::regex line(R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}Z )");
    std::istringstream lines(text);
    std::string first;
    std::getline(lines, first);
    EXPECT_TRUE(std::regex_search(first, line)) << first;
    EXPECT_EQ(first.substr(21), "startAnimation display=1");
    EXPECT_NE(text.find(" Gespenst \xE2\x80\x94 ü\n"), std::string::npos) << "written as UTF-8, unchanged";
    EXPECT_NE(text.find(" two\nlines\n"), std::string::npos) << "line feeds are written as they are";
    EXPECT_EQ(text.back(), '\n');
}

TEST(SaverDiagnosticsTest, UnwritableFolderLosesTheRecordQuietly)
{
    const gloam::testing::TemporaryFolder rootFolder("gloamyard-diag");
    const fs::path& root = rootFolder.path();
    std::ofstream(root / "blocker") << "a file, not a folder";
    const SaverDiagnosticsLog log(root / "blocker" / "net.gloamyard.Gloamyard", "lifecycle-1.txt");
    EXPECT_NO_THROW(log.record([] { return std::string("lost"); }));
    EXPECT_FALSE(fs::exists(log.file()));
}

TEST(SaverDiagnosticsTest, EachProcessWritesItsOwnFileWhenSwitchedOn)
{
    const gloam::testing::TemporaryFolder cacheFolder("gloamyard-diag");
    const fs::path& cache = cacheFolder.path();
    const std::string on = "HALLOWEEN_SAVER_DIAGNOSTICS=1 XDG_CACHE_HOME=" + cache.string();
    const std::string firstPid = runPeer(on, "record 'view start' 'view stop'");
    const std::string secondPid = runPeer(on, "record 'other process'");
    ASSERT_FALSE(firstPid.empty());
    ASSERT_NE(firstPid, secondPid);

    const fs::path folder = cache / "net.gloamyard.Gloamyard";
    const std::string first = readFile(folder / ("lifecycle-" + firstPid + ".txt"));
    EXPECT_NE(first.find(" view start\n"), std::string::npos);
    EXPECT_LT(first.find(" view start\n"), first.find(" view stop\n")) << "records stay in call order";
    EXPECT_NE(readFile(folder / ("lifecycle-" + secondPid + ".txt")).find(" other process\n"), std::string::npos);

    const std::string offPid =
        runPeer("HALLOWEEN_SAVER_DIAGNOSTICS=true XDG_CACHE_HOME=" + cache.string(), "record 'ignored'");
    EXPECT_FALSE(fs::exists(folder / ("lifecycle-" + offPid + ".txt")));
}
