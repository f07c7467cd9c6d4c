// The export's options: the scene as it lives by default, every bad value
// refused with one line naming it, odd sizes rounded with a note.
#include "engine/export/VideoExportOptions.h"

#include <gtest/gtest.h>

namespace gloam {
namespace {

VideoExportOptions parse(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), {"--export-video", "out.mp4"});
    return VideoExportOptions::parse(arguments, "--export-video");
}

std::string refusal(std::vector<std::string> arguments)
{
    try {
        parse(std::move(arguments));
    } catch (const std::invalid_argument& error) {
        return error.what();
    }
    return "(accepted)";
}

TEST(VideoExportOptions, DefaultsToThirtySecondsOfTheLivingSceneAt1200x540)
{
    const VideoExportOptions options = parse({});
    EXPECT_EQ(options.file, "out.mp4");
    EXPECT_EQ(options.width, 1200);
    EXPECT_EQ(options.height, 540);
    EXPECT_EQ(options.framesPerSecond, 30);
    EXPECT_EQ(options.frameCount(), 900);
    EXPECT_FALSE(options.vehicle);
    EXPECT_FALSE(options.seed);
    EXPECT_FALSE(options.skipOpening);
    EXPECT_FALSE(options.manual);
    EXPECT_FALSE(options.reduceFlashing.has_value());
    EXPECT_FALSE(options.force);
    EXPECT_TRUE(options.triggers.empty());
    EXPECT_TRUE(options.notes.empty());
}

TEST(VideoExportOptions, ReadsEveryOption)
{
    const VideoExportOptions options =
        parse({"--seconds", "2.5", "--size", "640x360", "--fps", "24", "--vehicle", "spirra", "--seed", "42",
               "--skip-opening", "--manual", "--trigger", "pumpkins@1.5", "--trigger", "ghost=Grave_3@4",
               "--reduce-flashing", "--force"});
    EXPECT_DOUBLE_EQ(options.seconds, 2.5);
    EXPECT_EQ(options.width, 640);
    EXPECT_EQ(options.height, 360);
    EXPECT_EQ(options.framesPerSecond, 24);
    EXPECT_EQ(options.frameCount(), 60);
    EXPECT_EQ(options.vehicle, Vehicle::spirra);
    EXPECT_EQ(options.seed, 42U);
    EXPECT_TRUE(options.skipOpening);
    EXPECT_TRUE(options.manual);
    EXPECT_EQ(options.reduceFlashing, std::optional<bool>(true));
    EXPECT_TRUE(options.force);
    ASSERT_EQ(options.triggers.size(), 2U);
    EXPECT_EQ(options.triggers[0].what, "pumpkins");
    EXPECT_DOUBLE_EQ(options.triggers[0].at, 1.5);
    EXPECT_EQ(options.triggers[1].what, "ghost=Grave_3");
    EXPECT_DOUBLE_EQ(options.triggers[1].at, 4.0);
}

TEST(VideoExportOptions, RoundsOddSizesDownToEvenWithANote)
{
    const VideoExportOptions options = parse({"--size", "1201x541"});
    EXPECT_EQ(options.width, 1200);
    EXPECT_EQ(options.height, 540);
    ASSERT_EQ(options.notes.size(), 1U);
    EXPECT_NE(options.notes[0].find("1201x541 rounded to 1200x540"), std::string::npos) << options.notes[0];

    const VideoExportOptions smallest = parse({"--size", "65x64"});
    EXPECT_EQ(smallest.width, 64);
    EXPECT_EQ(smallest.height, 64);
    EXPECT_EQ(parse({"--size", "7680x4320"}).notes.size(), 0U);
}

TEST(VideoExportOptions, RefusesBadValuesWithOneLineNamingThem)
{
    struct Case {
        std::vector<std::string> arguments;
        std::string says;
    };
    const std::vector<Case> cases{
        {{"--size", "63x64"}, "--size wants WIDTHxHEIGHT from 64x64 to 7680x4320, not \u201c63x64\u201d"},
        {{"--size", "64x63"}, "not \u201c64x63\u201d"},
        {{"--size", "7681x4320"}, "not \u201c7681x4320\u201d"},
        {{"--size", "7680x4321"}, "not \u201c7680x4321\u201d"},
        {{"--size", "1200"}, "not \u201c1200\u201d"},
        {{"--size", "-1200x540"}, "not \u201c-1200x540\u201d"},
        {{"--seconds", "0"}, "--seconds wants a length above 0"},
        {{"--seconds", "-3"}, "--seconds wants a length above 0"},
        {{"--seconds", "nan"}, "--seconds wants a length above 0"},
        {{"--seconds", "ten"}, "not \u201cten\u201d"},
        {{"--fps", "0"}, "--fps wants a whole number from 1 to 240, not \u201c0\u201d"},
        {{"--fps", "29.97"}, "not \u201c29.97\u201d"},
        {{"--vehicle", "hearse"}, "--vehicle wants corsel, vantre, brusker or spirra, not \u201chearse\u201d"},
        {{"--trigger", "fireworks@3"}, "not \u201cfireworks@3\u201d"},
        {{"--trigger", "witch"}, "not \u201cwitch\u201d"},
        {{"--trigger", "witch@-1"}, "not \u201cwitch@-1\u201d"},
        {{"--seed", "-4"}, "--seed wants a whole number"},
        {{"--loud"}, "unknown option \u201c--loud\u201d"},
        {{"--seconds"}, "--seconds wants a value"},
    };
    for (const Case& c : cases) {
        const std::string said = refusal(c.arguments);
        EXPECT_NE(said.find(c.says), std::string::npos) << c.arguments[0] << " said: " << said;
        EXPECT_EQ(said.find('\n'), std::string::npos) << said;
    }
}

TEST(VideoExportOptions, WantsAFileAndTheFileOptionOfItsProgram)
{
    EXPECT_THROW(VideoExportOptions::parse({"--seconds", "3"}, "--video"), std::invalid_argument);
    EXPECT_THROW(VideoExportOptions::parse({"--video"}, "--video"), std::invalid_argument);
    EXPECT_THROW(VideoExportOptions::parse({"--export-video", "a.mp4"}, "--video"), std::invalid_argument);
    EXPECT_EQ(VideoExportOptions::parse({"--video", "a.mp4"}, "--video").file, "a.mp4");
    // Help wins wherever it is, even where a file name was due.
    EXPECT_TRUE(VideoExportOptions::parse({"--video", "--help"}, "--video").help);
    const std::string usage = VideoExportOptions::usage("gloamyard", "--export-video");
    for (const char* option : {"--seconds", "--size", "--fps", "--vehicle", "--seed", "--skip-opening", "--manual",
                               "--trigger", "--force"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
}

} // namespace
} // namespace gloam
