#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace gloam::platform {

// Writes an MP4 file with one H.264 video stream and one AAC sound stream
// through libavcodec and libavformat, with the settings every browser and
// phone plays: yuv420p in BT.709, the index at the front of the file
// ("faststart"), a key frame every two seconds.
//
// Frames come in as RGBA bytes (top row first) at the writer's size, sound
// as interleaved stereo floats at its sample rate; the container
// interleaves the two streams by their time stamps. Nothing is complete
// until finish() has returned: a writer dropped before that leaves a file
// without its index, which the caller removes.
class Mp4Writer {
public:
    struct Settings {
        int width = 1200; // even
        int height = 540; // even
        int framesPerSecond = 30;
        int sampleRate = 48000; // stereo
        // H.264 constant-rate factor: 0 is lossless, 18 looks lossless.
        int quality = 18;
    };

    // Creates `file` (replacing what is there). Throws VideoError when the
    // build has no H.264 or AAC encoder, a size is odd or out of range, or
    // the file cannot be created.
    Mp4Writer(const std::filesystem::path& file, const Settings& settings);
    ~Mp4Writer();
    Mp4Writer(const Mp4Writer&) = delete;
    Mp4Writer& operator=(const Mp4Writer&) = delete;

    // One picture, shown for 1 / framesPerSecond seconds after the last.
    void addFrame(const std::uint8_t* rgba);
    // `frames` stereo sample frames, left/right interleaved, following the last.
    void addSound(const float* interleaved, int frames);
    // Flushes both encoders and writes the index. Throws VideoError when the
    // file could not be written completely (a full disk, say).
    void finish();

    int framesWritten() const;
    // The name of the H.264 encoder the build offers, or empty when it has none.
    static std::string h264EncoderName();
    // Keeps FFmpeg's own log lines (encoder statistics, the muxer's second
    // pass, its view of a failed write) off standard error: the writer's
    // errors already say what went wrong, in one line.
    static void silenceLibraryLog();

private:
    struct Streams;
    std::unique_ptr<Streams> streams_;
};

} // namespace gloam::platform
