#include "forge/audio/WavFile.h"
#include "tests/support/TemporaryFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace gloam::forge::audio {
namespace {

using TempFolder = gloam::testing::TemporaryFolder;

std::vector<char> bytesOf(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

AudioBuffer testSignal()
{
    AudioBuffer buffer(22050, 2, 2000);
    for (std::size_t i = 0; i < buffer.frameCount(); ++i) {
        buffer.channels[0][i] = 0.8f * static_cast<float>(std::sin(0.05 * static_cast<double>(i)));
        buffer.channels[1][i] = -1.0f + 2.0f * static_cast<float>(i) / 2000.0f;
    }
    buffer.channels[0][10] = 1.7f; // beyond full scale: clamped, not wrapped
    buffer.channels[1][11] = -3.0f;
    return buffer;
}

TEST(WavFile, RoundTripKeepsFormatAndSamplesWithinDither)
{
    TempFolder folder;
    const auto path = folder.path() / "signal.wav";
    const auto original = testSignal();
    WavFile::write(path, original);

    EXPECT_EQ(bytesOf(path).size(), 44u + original.frameCount() * 2 * 2);
    const auto read = WavFile::read(path);
    ASSERT_EQ(read.sampleRate, 22050);
    ASSERT_EQ(read.channelCount(), 2);
    ASSERT_EQ(read.frameCount(), original.frameCount());
    for (std::size_t c = 0; c < 2; ++c)
        for (std::size_t i = 0; i < read.frameCount(); ++i) {
            const float expected = std::clamp(original.channels[c][i], -1.0f, 1.0f);
            ASSERT_NEAR(read.channels[c][i], expected, 2.5f / 32768.0f) << "channel " << c << " frame " << i;
        }
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "signal.wav.partial"));
}

TEST(WavFile, EqualBuffersGiveEqualFiles)
{
    TempFolder folder;
    WavFile::write(folder.path() / "a.wav", testSignal());
    WavFile::write(folder.path() / "b.wav", testSignal());
    EXPECT_EQ(bytesOf(folder.path() / "a.wav"), bytesOf(folder.path() / "b.wav"));
}

// A minimal RIFF/WAVE image with the given format fields and data size.
std::string wavImage(std::uint16_t format, std::uint16_t bits, std::uint32_t declaredData, std::size_t actualData,
                     bool withData = true)
{
    auto le16 = [](std::uint16_t v) { return std::string{static_cast<char>(v & 0xff), static_cast<char>(v >> 8)}; };
    auto le32 = [&](std::uint32_t v) {
        return le16(static_cast<std::uint16_t>(v & 0xffff)) + le16(static_cast<std::uint16_t>(v >> 16));
    };
    std::string body = "WAVEfmt " + le32(16) + le16(format) + le16(1) + le32(8000) + le32(16000) + le16(2) + le16(bits);
    if (withData)
        body += "data" + le32(declaredData) + std::string(actualData, '\0');
    return "RIFF" + le32(static_cast<std::uint32_t>(body.size())) + body;
}

struct BadFile {
    std::string name;
    std::string content;
    std::string reason;
};

void PrintTo(const BadFile& file, std::ostream* out)
{
    *out << file.name;
}

class WavFileRejects : public ::testing::TestWithParam<BadFile> {};

TEST_P(WavFileRejects, WithAMessageNamingFileAndFault)
{
    TempFolder folder;
    const auto path = folder.path() / (GetParam().name + ".wav");
    {
        std::ofstream out(path, std::ios::binary);
        out << GetParam().content;
    }
    try {
        WavFile::read(path);
        FAIL() << "expected a WavError";
    } catch (const WavError& error) {
        EXPECT_THAT(error.what(), ::testing::HasSubstr(path.string()));
        EXPECT_THAT(error.what(), ::testing::HasSubstr(GetParam().reason));
    }
}

INSTANTIATE_TEST_SUITE_P(Malformed, WavFileRejects,
                         ::testing::Values(BadFile{"text", "this is not a sound file at all", "not a RIFF/WAVE file"},
                                           BadFile{"truncated", wavImage(1, 16, 4000, 100), "chunk runs past the end"},
                                           BadFile{"eightBit", wavImage(1, 8, 100, 100),
                                                   "unsupported sample format 1 with 8 bits"},
                                           BadFile{"noData", wavImage(1, 16, 0, 0, false), "missing data chunk"}),
                         [](const auto& param) { return param.param.name; });

TEST(WavFile, MissingFileAndUnwritableFolderAreClearErrors)
{
    TempFolder folder;
    EXPECT_THROW(WavFile::read(folder.path() / "absent.wav"), WavError);
    const auto blocked = folder.path() / "no-such-folder" / "x.wav";
    EXPECT_THROW(WavFile::write(blocked, testSignal()), WavError);
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "no-such-folder"));
}

} // namespace
} // namespace gloam::forge::audio
