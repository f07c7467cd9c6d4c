#pragma once

// An MP4 file read back with FFmpeg's own demuxer and decoders, for
// checking what the video writer and the export made: the streams, every
// picture as RGBA bytes and the sound as interleaved floats.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace gloam::testing {

struct DecodedVideo {
    std::string videoCodec;  // "h264"
    std::string pixelFormat; // "yuv420p"
    int width = 0;
    int height = 0;
    int rateNumerator = 0; // the stream's frame rate
    int rateDenominator = 0;
    std::vector<std::vector<std::uint8_t>> frames; // RGBA, top row first

    std::string soundCodec; // "aac"
    int sampleRate = 0;
    int channels = 0;
    std::vector<float> samples; // interleaved

    // The top-level boxes of the file in order ("ftyp", "moov", "mdat"...).
    std::vector<std::string> boxes;

    double soundSeconds() const
    {
        return sampleRate > 0 && channels > 0 ? static_cast<double>(samples.size()) / channels / sampleRate : 0.0;
    }

    // Throws std::runtime_error when the file cannot be read.
    static DecodedVideo read(const std::filesystem::path& file);
};

// Peak signal-to-noise ratio of two RGBA pictures over their colour
// channels, in dB (infinite when they are equal).
double psnr(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b);
// The same over their luma (Rec. 709 weights of the encoded values): the
// measure of a yuv420p video, which keeps a quarter of the colour detail
// by design, so that a sharp-edged glow loses more in colour than any
// encoder setting would.
double lumaPsnr(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b);

// Root mean square of the interleaved samples from `from` to `to` seconds.
double rms(const DecodedVideo& video, double from, double to);

} // namespace gloam::testing
