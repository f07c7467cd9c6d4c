#include "platform/store/SettingsStore.h"

#include "tests/support/TemporaryFolder.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

using gloam::platform::SettingsStore;
namespace fs = std::filesystem;

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override { file_ = folder_ / "nested" / "choices.json"; }

    void writeRaw(const std::string& bytes)
    {
        fs::create_directories(file_.parent_path());
        std::ofstream(file_, std::ios::binary) << bytes;
    }
    std::string readRaw(const fs::path& path) const
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    gloam::testing::TemporaryFolder folder_{"gloamyard-store"};
    fs::path file_;
};

} // namespace

TEST_F(SettingsStoreTest, WritesAreSeenByAnotherStoreOnTheSameFile)
{
    SettingsStore writer(file_);
    SettingsStore reader(file_);
    EXPECT_FALSE(reader.value("vehicle").has_value());

    ASSERT_TRUE(writer.setValue("vehicle", QStringLiteral("spirra")));
    ASSERT_TRUE(writer.setValues({{"audio.app.enabled", true}, {"audio.app.volume", 0.5}}));
    EXPECT_EQ(reader.value("vehicle")->toString(), "spirra");
    EXPECT_TRUE(reader.value("audio.app.enabled")->toBool());
    EXPECT_DOUBLE_EQ(reader.value("audio.app.volume")->toDouble(), 0.5);

    ASSERT_TRUE(reader.remove("vehicle"));
    EXPECT_FALSE(writer.contains("vehicle"));
    EXPECT_TRUE(writer.contains("audio.app.volume")) << "other keys survive a removal";
}

TEST_F(SettingsStoreTest, WritesReplaceTheFileWholeWithoutLeftovers)
{
    SettingsStore store(file_);
    ASSERT_TRUE(store.setValue("a", 1));
    const std::string first = readRaw(file_);
    ASSERT_TRUE(store.setValue("b", 2));
    EXPECT_NE(readRaw(file_), first);
    EXPECT_TRUE(QJsonDocument::fromJson(QByteArray::fromStdString(readRaw(file_))).isObject());
    for (const auto& entry : fs::directory_iterator(file_.parent_path())) {
        EXPECT_EQ(entry.path().filename(), "choices.json") << "no temporary or lock file stays behind";
    }
}

TEST_F(SettingsStoreTest, DamagedFilesReadAsEmptyAndAreKeptAsideBeforeTheNextWrite)
{
    const struct {
        const char* name;
        std::string bytes;
        bool keptAside;
    } cases[] = {
        {"garbage", "\x01\x02not json at all{", true},
        {"truncated", "{\"vehicle\": \"brus", true},
        {"array", "[1, 2, 3]", true},
        {"empty", "", false},
        {"whitespace", "  \n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(file_.string() + ".damaged");
        writeRaw(c.bytes);
        SettingsStore store(file_);
        EXPECT_TRUE(store.snapshot().isEmpty());
        EXPECT_FALSE(store.value("vehicle").has_value());

        ASSERT_TRUE(store.setValue("vehicle", QStringLiteral("corsel")));
        EXPECT_EQ(store.value("vehicle")->toString(), "corsel");
        EXPECT_EQ(fs::exists(file_.string() + ".damaged"), c.keptAside);
        if (c.keptAside) {
            EXPECT_EQ(readRaw(file_.string() + ".damaged"), c.bytes) << "the damaged content is kept byte for byte";
        }
    }
}

TEST_F(SettingsStoreTest, FailedWriteReportsFalseAndChangesNothing)
{
    writeRaw("{}");
    SettingsStore store(file_ / "inside-a-file.json");
    EXPECT_FALSE(store.setValue("vehicle", QStringLiteral("spirra")));
    EXPECT_FALSE(store.value("vehicle").has_value());
    EXPECT_EQ(readRaw(file_), "{}");
}
