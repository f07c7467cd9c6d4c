// The video writer against FFmpeg's own demuxer and decoders: what it
// writes must come back as the same pictures and the same sound, in a file
// laid out for playing while it downloads.
#include "platform/video/Mp4Writer.h"
#include "platform/video/VideoError.h"
#include "tests/support/TemporaryFolder.h"
#include "tests/video/DecodedVideo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace gloam::platform {
namespace {

using testing::DecodedVideo;

// A picture that changes every frame, smoothly as a rendered scene does: a
// gradient drifting sideways and a tint that steps with the frame number,
// so that a dropped, repeated or swapped frame shows.
std::vector<std::uint8_t> testPicture(int width, int height, int frame)
{
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
            const double phase = 2.0 * std::numbers::pi * (x + 2 * frame) / width;
            p[0] = static_cast<std::uint8_t>(120 + 80 * std::sin(phase));
            p[1] = static_cast<std::uint8_t>(30 + y * 180 / height);
            p[2] = static_cast<std::uint8_t>(60 + (frame * 7) % 120);
            p[3] = 255;
        }
    }
    return rgba;
}

struct Written {
    int width = 128;
    int height = 72;
    int fps = 25;
    int frames = 50;
    int rate = 48000;
    // The tone starts with this video frame; silence before it.
    int toneFrame = 20;
    double toneHz = 440.0;
    float toneLevel = 0.5F;
};

void write(const std::filesystem::path& file, const Written& w)
{
    Mp4Writer::Settings settings;
    settings.width = w.width;
    settings.height = w.height;
    settings.framesPerSecond = w.fps;
    settings.sampleRate = w.rate;
    Mp4Writer writer(file, settings);
    std::int64_t sample = 0;
    for (int frame = 0; frame < w.frames; ++frame) {
        writer.addFrame(testPicture(w.width, w.height, frame).data());
        const std::int64_t end = static_cast<std::int64_t>(frame + 1) * w.rate / w.fps;
        std::vector<float> sound;
        for (; sample < end; ++sample) {
            const double t = static_cast<double>(sample) / w.rate;
            const float value = frame >= w.toneFrame
                                    ? w.toneLevel * static_cast<float>(std::sin(2.0 * std::numbers::pi * w.toneHz * t))
                                    : 0.0F;
            sound.push_back(value);
            sound.push_back(value);
        }
        writer.addSound(sound.data(), static_cast<int>(sound.size() / 2));
    }
    EXPECT_EQ(writer.framesWritten(), w.frames);
    writer.finish();
}

TEST(Mp4Writer, WritesEveryFrameAtItsSizeAndRateAsH264InYuv420p)
{
    testing::TemporaryFolder folder("gloamyard-video");
    const Written w;
    write(folder.path() / "clip.mp4", w);
    const DecodedVideo video = DecodedVideo::read(folder.path() / "clip.mp4");

    EXPECT_EQ(video.videoCodec, "h264");
    EXPECT_EQ(video.pixelFormat, "yuv420p");
    EXPECT_EQ(video.width, w.width);
    EXPECT_EQ(video.height, w.height);
    EXPECT_EQ(video.rateNumerator, w.fps);
    EXPECT_EQ(video.rateDenominator, 1);
    ASSERT_EQ(video.frames.size(), static_cast<std::size_t>(w.frames));
    for (int frame = 0; frame < w.frames; ++frame) {
        const double quality =
            testing::psnr(video.frames[static_cast<std::size_t>(frame)], testPicture(w.width, w.height, frame));
        EXPECT_GE(quality, 40.0) << "frame " << frame;
        if (frame > 0) {
            // Each frame is its own picture, not its neighbour's.
            EXPECT_LT(
                testing::psnr(video.frames[static_cast<std::size_t>(frame)], testPicture(w.width, w.height, frame - 1)),
                quality)
                << "frame " << frame;
        }
    }
}

TEST(Mp4Writer, KeepsTheSoundsLengthLevelAndTimingInAac)
{
    testing::TemporaryFolder folder("gloamyard-video");
    const Written w;
    write(folder.path() / "clip.mp4", w);
    const DecodedVideo video = DecodedVideo::read(folder.path() / "clip.mp4");

    EXPECT_EQ(video.soundCodec, "aac");
    EXPECT_EQ(video.sampleRate, w.rate);
    EXPECT_EQ(video.channels, 2);
    // The encoder's start-up delay is trimmed by the file's edit list, so the
    // sound is as long as the pictures, give or take one AAC frame.
    const double seconds = static_cast<double>(w.frames) / w.fps;
    EXPECT_NEAR(video.soundSeconds(), seconds, 1024.0 / w.rate);

    const double toneStart = static_cast<double>(w.toneFrame) / w.fps;
    EXPECT_LT(testing::rms(video, 0.0, toneStart - 0.05), 1e-3) << "silence before the tone";
    EXPECT_NEAR(testing::rms(video, toneStart + 0.05, seconds - 0.05), w.toneLevel / std::sqrt(2.0), 0.02);
    // Where the tone begins: the first sample of its frame, not shifted by
    // the encoder's delay (1024 samples, 21 ms).
    std::size_t first = 0;
    while (first < video.samples.size() && std::abs(video.samples[first]) < w.toneLevel * 0.25F) {
        ++first;
    }
    const double heard = static_cast<double>(first / 2) / w.rate;
    EXPECT_NEAR(heard, toneStart, 0.003);
}

TEST(Mp4Writer, PutsTheIndexBeforeTheMediaForPlayingWhileDownloading)
{
    testing::TemporaryFolder folder("gloamyard-video");
    write(folder.path() / "clip.mp4", Written{});
    const auto boxes = DecodedVideo::read(folder.path() / "clip.mp4").boxes;
    const auto moov = std::find(boxes.begin(), boxes.end(), "moov");
    const auto mdat = std::find(boxes.begin(), boxes.end(), "mdat");
    ASSERT_NE(moov, boxes.end());
    ASSERT_NE(mdat, boxes.end());
    EXPECT_LT(moov, mdat);
}

TEST(Mp4Writer, RefusesOddSizes)
{
    testing::TemporaryFolder folder("gloamyard-video");
    for (const auto& [width, height] : {std::pair{129, 72}, std::pair{128, 73}}) {
        Mp4Writer::Settings settings;
        settings.width = width;
        settings.height = height;
        EXPECT_THROW(Mp4Writer(folder.path() / "odd.mp4", settings), VideoError) << width << "x" << height;
    }
}

TEST(Mp4Writer, ReportsAFullDiskInsteadOfFinishing)
{
    // /dev/full takes the file and fails every write with ENOSPC.
    Written w;
    w.frames = 30;
    try {
        write("/dev/full", w);
        FAIL() << "the writes to a full device were not reported";
    } catch (const VideoError& error) {
        EXPECT_NE(std::string(error.what()).find("No space left on device"), std::string::npos) << error.what();
    }
}

} // namespace
} // namespace gloam::platform
