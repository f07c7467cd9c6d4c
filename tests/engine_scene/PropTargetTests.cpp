#include "engine/common/PropTarget.h"

#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

using gloam::PropTarget;

TEST(PropTargetTest, DecodesRecordsInFileOrderWithDerivedValues)
{
    const auto targets = PropTarget::decodeList(R"([
        {"id": "LeftPumpkin", "kind": "pumpkin", "center": [1, 0.25, -2.5], "size": [0.5, 0.4, 0.5], "note": "ignored"},
        {"size": [0.6, 1.1, 0.3], "center": [4, 0.5, 1, 9, 9], "kind": "grave", "id": "RingGrave1"}
    ])");
    ASSERT_EQ(targets.size(), 2U);
    EXPECT_EQ(targets[0].id, "LeftPumpkin");
    EXPECT_EQ(targets[0].kind, "pumpkin");
    EXPECT_EQ(targets[0].position(), glm::vec3(1.0F, 0.25F, -2.5F));
    EXPECT_EQ(targets[0].dimensions(), glm::vec3(0.5F, 0.4F, 0.5F));
    EXPECT_EQ(targets[0].hitName(), "Reaction_LeftPumpkin");
    EXPECT_EQ(targets[1].position(), glm::vec3(4.0F, 0.5F, 1.0F)) << "numbers after the third are ignored";
    EXPECT_TRUE(PropTarget::decodeList("[]").empty());
}

TEST(PropTargetTest, AnyFaultRejectsTheWholeFile)
{
    const std::string good = R"({"id": "A", "kind": "grave", "center": [0, 0, 0], "size": [1, 1, 1]})";
    const struct {
        const char* name;
        std::string json;
        const char* says;
    } cases[] = {
        {"missing size", "[" + good + R"(, {"id": "B", "kind": "grave", "center": [0, 0, 0]}])",
         "target 1 has no \"size\""},
        {"missing id", R"([{"kind": "grave", "center": [0, 0, 0], "size": [1, 1, 1]}])", "target 0 has no \"id\""},
        {"id not a string", R"([{"id": 7, "kind": "grave", "center": [0, 0, 0], "size": [1, 1, 1]}])",
         "\"id\" that is not a string"},
        {"text in a vector", R"([{"id": "A", "kind": "grave", "center": [0, "1", 0], "size": [1, 1, 1]}])",
         "not a list of numbers"},
        {"vector not a list", R"([{"id": "A", "kind": "grave", "center": 3, "size": [1, 1, 1]}])",
         "not a list of numbers"},
        {"two numbers", R"([{"id": "A", "kind": "grave", "center": [0, 0], "size": [1, 1, 1]}])",
         "fewer than three numbers"},
        {"too big for a float", R"([{"id": "A", "kind": "grave", "center": [1e39, 0, 0], "size": [1, 1, 1]}])",
         "32-bit float"},
        {"too big for a double", R"([{"id": "A", "kind": "grave", "center": [1e400, 0, 0], "size": [1, 1, 1]}])",
         "is not valid JSON"},
        {"negative size", R"([{"id": "A", "kind": "grave", "center": [0, 0, 0], "size": [1, -0.5, 1]}])",
         "target 0 has a negative number in \"size\""},
        {"syntax error", "[" + good + ",]", "is not valid JSON"},
        {"not a list", good, "is not a list of targets"},
        {"element not an object", "[" + good + ", 5]", "target 1 is not an object"},
        {"empty file", "", "is not valid JSON"},
    };
    for (const auto& c : cases) {
        try {
            PropTarget::decodeList(c.json);
            ADD_FAILURE() << c.name << ": decoded";
        } catch (const PropTarget::DecodingError& error) {
            EXPECT_NE(std::string(error.what()).find(c.says), std::string::npos) << c.name << ": " << error.what();
        }
    }
}

TEST(PropTargetTest, LoadingNamesTheFile)
{
    gloam::testing::TemporaryFolder folder("gloamyard-targets");
    const auto file = folder / "PropTargets.json";
    try {
        PropTarget::loadList(file);
        ADD_FAILURE() << "a missing file loaded";
    } catch (const PropTarget::DecodingError& error) {
        EXPECT_NE(std::string(error.what()).find("PropTargets.json cannot be read"), std::string::npos) << error.what();
    }
    const struct {
        const char* content;
        const char* says;
    } cases[] = {
        {R"([{"id": "A", "kind": "grave", "center": [0, 0, 0]}])", "PropTargets.json target 0 has no \"size\""},
        {R"([{"id": "A", "kind": "grave", "center": [0, 0, 1e400], "size": [1, 1, 1]}])",
         "PropTargets.json is not valid JSON"},
        {R"([{"id": "A", "kind": "grave", "center": [0, 0, 0], "size": [-1, 1, 1]}])",
         "PropTargets.json target 0 has a negative number in \"size\""},
    };
    for (const auto& c : cases) {
        std::ofstream(file, std::ios::trunc) << c.content;
        try {
            PropTarget::loadList(file);
            ADD_FAILURE() << c.content << ": loaded";
        } catch (const PropTarget::DecodingError& error) {
            EXPECT_EQ(std::string(error.what()).rfind(c.says, 0), 0U) << error.what();
        }
    }
    // A folder where the file should be cannot be read, and says so.
    std::filesystem::create_directory(folder / "Folder.json");
    EXPECT_THROW(PropTarget::loadList(folder / "Folder.json"), PropTarget::DecodingError);
}
