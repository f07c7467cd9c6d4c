#include "engine/prefs/FlashingPreference.h"
#include "engine/prefs/GloamyardPreferences.h"
#include "engine/prefs/SoundPreference.h"
#include "engine/prefs/VehiclePreference.h"

#include <QLockFile>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <thread>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <sys/stat.h>

using namespace gloam;
namespace fs = std::filesystem;

namespace {

fs::path sharedFile()
{
    return GloamyardPreferences::sharedStoreFile(GloamyardPreferences::configDirectory());
}

fs::path legacyFile()
{
    return GloamyardPreferences::legacyModuleFile(GloamyardPreferences::configDirectory());
}

void writeFile(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// Runs the peer program with the same environment; returns what it printed.
std::string peer(const std::string& arguments, const std::string& environment = "")
{
    const std::string command = environment + " " + PREFS_PEER + " " + arguments;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    std::string output;
    std::array<char, 256> buffer{};
    while (pipe && std::fgets(buffer.data(), buffer.size(), pipe.get()) != nullptr) {
        output += buffer.data();
    }
    return output;
}

class PreferencesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GloamyardPreferences::defaults(); // opens (and creates) the store's folder
        fs::remove(sharedFile());
        fs::remove(legacyFile());
    }
};

} // namespace

TEST_F(PreferencesTest, EmptyStoreGivesTheDefaults)
{
    EXPECT_EQ(VehiclePreference::selected(), Vehicle::corsel);
    for (SoundMode mode : allSoundModes) {
        EXPECT_FALSE(SoundPreference::enabled(mode));
        EXPECT_FLOAT_EQ(SoundPreference::volume(mode), 0.75F);
    }
    EXPECT_EQ(sharedFile().parent_path().filename(), GloamyardPreferences::group);
}

TEST_F(PreferencesTest, VehicleRoundTripsAndUnknownValuesReadAsCorsel)
{
    VehiclePreference::setSelected(Vehicle::brusker);
    EXPECT_EQ(VehiclePreference::selected(), Vehicle::brusker);
    for (const char* stored :
         {R"({"vehicle": "Brusker"})", R"({"vehicle": "tractor"})", R"({"vehicle": 3})", R"({"vehicle": null})"}) {
        writeFile(sharedFile(), stored);
        EXPECT_EQ(VehiclePreference::selected(), Vehicle::corsel) << stored;
    }
}

TEST_F(PreferencesTest, StoredVolumesAreClampedAndNonNumbersReadAsZero)
{
    const struct {
        const char* json;
        float volume;
    } cases[] = {
        {"1.7", 1.0F},      {"-0.2", 0.0F}, {"0.4", 0.4F}, {"\"0.5\"", 0.5F},
        {"\"loud\"", 0.0F}, {"true", 1.0F}, {"[1]", 0.0F}, {"{}", 0.0F},
    };
    for (const auto& c : cases) {
        writeFile(sharedFile(), std::string(R"({"audio.app.volume": )") + c.json + "}");
        EXPECT_FLOAT_EQ(SoundPreference::volume(SoundMode::app), c.volume) << c.json;
    }
}

TEST_F(PreferencesTest, SaveClampsAndTheSavedValuesReadBack)
{
    SoundPreference::save(SoundMode::app, true, 3.0F);
    EXPECT_TRUE(SoundPreference::enabled(SoundMode::app));
    EXPECT_FLOAT_EQ(SoundPreference::volume(SoundMode::app), 1.0F);
    SoundPreference::save(SoundMode::saver, true, 0.3F);
    EXPECT_FLOAT_EQ(SoundPreference::volume(SoundMode::saver), 0.3F);
    SoundPreference::save(SoundMode::saver, false, std::nanf(""));
    EXPECT_FALSE(SoundPreference::enabled(SoundMode::saver));
    EXPECT_FLOAT_EQ(SoundPreference::volume(SoundMode::saver), 0.0F);
    EXPECT_FLOAT_EQ(SoundPreference::volume(SoundMode::app), 1.0F) << "modes are stored apart";
}

TEST_F(PreferencesTest, PreviewNeverHasSoundAndStoresNothing)
{
    writeFile(sharedFile(), R"({"audio.preview.enabled": true, "audio.preview.volume": 0.2})");
    EXPECT_FALSE(SoundPreference::enabled(SoundMode::preview));
    EXPECT_FLOAT_EQ(SoundPreference::volume(SoundMode::preview), 0.2F);
    fs::remove(sharedFile());
    SoundPreference::save(SoundMode::preview, true, 0.5F);
    EXPECT_FALSE(fs::exists(sharedFile()));
}

TEST_F(PreferencesTest, GarbledStoreLosesNothingElse)
{
    writeFile(sharedFile(), "{\"vehicle\": \"spirra\", \"audio.app.volume\": 0.2");
    EXPECT_EQ(VehiclePreference::selected(), Vehicle::corsel);
    SoundPreference::save(SoundMode::saver, true, 0.6F);
    EXPECT_TRUE(fs::exists(sharedFile().string() + ".damaged")) << "the unreadable file is kept for the user";
    EXPECT_TRUE(SoundPreference::enabled(SoundMode::saver));
    fs::remove(sharedFile().string() + ".damaged");
}

TEST_F(PreferencesTest, TwoProcessesSeeEachOthersWrites)
{
    VehiclePreference::setSelected(Vehicle::vantre);
    EXPECT_EQ(peer("get-vehicle"), "vantre\n");

    peer("set-vehicle spirra");
    EXPECT_EQ(VehiclePreference::selected(), Vehicle::spirra);

    peer("save-sound saver on 0.4");
    EXPECT_TRUE(SoundPreference::enabled(SoundMode::saver));
    EXPECT_FLOAT_EQ(SoundPreference::volume(SoundMode::saver), 0.4F);
    SoundPreference::save(SoundMode::app, true, 0.9F);
    EXPECT_EQ(peer("get-sound app"), "on 0.90\n");
    EXPECT_EQ(VehiclePreference::selected(), Vehicle::spirra) << "a sound write keeps the vehicle";
}

TEST_F(PreferencesTest, ReduceFlashingIsOffUntilChosenAndReadsHandEditedValues)
{
    EXPECT_FALSE(FlashingPreference::reduced());
    FlashingPreference::setReduced(true);
    EXPECT_TRUE(FlashingPreference::reduced());
    EXPECT_EQ(GloamyardPreferences::defaults().value("reduceFlashing"), QJsonValue(true)) << "stored as a Bool";
    FlashingPreference::setReduced(false);
    EXPECT_FALSE(FlashingPreference::reduced());

    const struct {
        const char* json;
        bool reduced;
    } cases[] = {
        {"true", true},    {"\"yes\"", true}, {"1", true},     {"\" TRUE \"", true}, {"false", false},
        {"\"no\"", false}, {"0", false},      {"null", false}, {"[true]", false},    {"{}", false},
    };
    for (const auto& c : cases) {
        writeFile(sharedFile(), std::string(R"({"reduceFlashing": )") + c.json + "}");
        EXPECT_EQ(FlashingPreference::reduced(), c.reduced) << c.json;
    }
}

TEST_F(PreferencesTest, ReduceFlashingIsSharedBetweenProcessesAndKeepsTheOtherChoices)
{
    VehiclePreference::setSelected(Vehicle::brusker);
    SoundPreference::save(SoundMode::saver, true, 0.4F);
    peer("set-flashing reduced");
    EXPECT_TRUE(FlashingPreference::reduced());
    EXPECT_EQ(VehiclePreference::selected(), Vehicle::brusker);
    EXPECT_TRUE(SoundPreference::enabled(SoundMode::saver));

    FlashingPreference::setReduced(false);
    EXPECT_EQ(peer("get-flashing"), "normal\n");
    FlashingPreference::setReduced(true);
    EXPECT_EQ(peer("get-flashing"), "reduced\n");
    EXPECT_FLOAT_EQ(SoundPreference::volume(SoundMode::saver), 0.4F);
}

TEST_F(PreferencesTest, MigrationCopiesMissingLegacyChoicesOnce)
{
    writeFile(
        legacyFile(),
        R"({"vehicle": "brusker", "audio.app.enabled": true, "audio.app.volume": 0.3, "audio.saver.enabled": true})");
    SoundPreference::save(SoundMode::app, false, 0.8F); // already in the shared store: kept

    GloamyardPreferences::migrateAppChoices();
    EXPECT_EQ(VehiclePreference::selected(), Vehicle::brusker);
    EXPECT_FALSE(SoundPreference::enabled(SoundMode::app));
    EXPECT_FLOAT_EQ(SoundPreference::volume(SoundMode::app), 0.8F);
    EXPECT_FALSE(SoundPreference::enabled(SoundMode::saver)) << "only the three app keys migrate";
    EXPECT_TRUE(GloamyardPreferences::defaults().value("migratedAppChoices")->toBool());

    // It never runs twice.
    VehiclePreference::setSelected(Vehicle::corsel);
    GloamyardPreferences::defaults().remove("vehicle");
    GloamyardPreferences::migrateAppChoices();
    EXPECT_EQ(VehiclePreference::selected(), Vehicle::corsel);
    EXPECT_FALSE(GloamyardPreferences::defaults().contains("vehicle"));
}

TEST_F(PreferencesTest, MigrationWithoutLegacyChoicesStillSetsItsFlag)
{
    GloamyardPreferences::migrateAppChoices();
    EXPECT_TRUE(GloamyardPreferences::defaults().value("migratedAppChoices")->toBool());
    EXPECT_FALSE(GloamyardPreferences::defaults().contains("vehicle"));
}

// The screen saver stores a vehicle while the app's first launch is
// migrating: the saver's choice must survive, whatever the legacy file says.
TEST_F(PreferencesTest, MigrationKeepsAChoiceWrittenWhileItWaitsForTheLock)
{
    writeFile(legacyFile(), R"({"vehicle": "brusker"})");
    QLockFile saverLock(QString::fromStdString(sharedFile().string() + ".lock"));
    ASSERT_TRUE(saverLock.tryLock(1000));

    std::thread migration([] { GloamyardPreferences::migrateAppChoices(); });
    // Long enough for the migration to look at the store and wait for the
    // lock; were it quicker, the saver's write would only come earlier.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    writeFile(sharedFile(), R"({"vehicle": "spirra"})");
    saverLock.unlock();
    migration.join();

    EXPECT_EQ(VehiclePreference::selected(), Vehicle::spirra);
    EXPECT_TRUE(GloamyardPreferences::defaults().value("migratedAppChoices")->toBool());
}

TEST_F(PreferencesTest, AMigrationThatFindsItDoneWritesNothing)
{
    writeFile(sharedFile(), R"({"migratedAppChoices": true, "vehicle": "vantre"})");
    // Every write replaces the file (a new inode); none leaves it in place.
    struct stat before {};
    ASSERT_EQ(::stat(sharedFile().c_str(), &before), 0);
    GloamyardPreferences::migrateAppChoices();
    struct stat after {};
    ASSERT_EQ(::stat(sharedFile().c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
}

TEST(PreferencesOpenTest, AFolderThatCannotBeMadeIsDescribed)
{
    EXPECT_FALSE(GloamyardPreferences::openProblem().has_value());
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string restore = saved != nullptr ? saved : "";
    const fs::path blocker = fs::temp_directory_path() / ("gloamyard-blocked-" + std::to_string(::getpid()));
    writeFile(blocker, "a file where a folder should be");
    ::setenv("XDG_CONFIG_HOME", blocker.c_str(), 1);
    const auto problem = GloamyardPreferences::openProblem();
    ::setenv("XDG_CONFIG_HOME", restore.c_str(), 1);
    fs::remove(blocker);
    ASSERT_TRUE(problem.has_value());
    EXPECT_EQ(problem->rfind("Gloamyard cannot open its stored choices: the folder ", 0), 0U) << *problem;
    EXPECT_NE(problem->find(blocker.string()), std::string::npos) << "names where it looked: " << *problem;
}

TEST(PreferencesDeathTest, UnusableConfigDirectoryEndsTheProcessWithAMessage)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const fs::path blocker = fs::temp_directory_path() / ("gloamyard-blocker-" + std::to_string(::getpid()));
    writeFile(blocker, "a file where a folder should be");
    EXPECT_EXIT(
        {
            ::setenv("XDG_CONFIG_HOME", blocker.c_str(), 1);
            GloamyardPreferences::defaults();
        },
        ::testing::ExitedWithCode(EXIT_FAILURE), "cannot open its stored choices");
    fs::remove(blocker);
}
