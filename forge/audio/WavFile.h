#pragma once

#include "forge/audio/AudioBuffer.h"

#include <filesystem>
#include <stdexcept>

namespace gloam::forge::audio {

// Thrown for a WAV file that cannot be read or written; the message names
// the file and what is wrong with it.
class WavError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// RIFF/WAVE files of 16-bit PCM: what the forge writes and what the engine's
// decoder and every ordinary tool read.
struct WavFile {
    // Writes 16-bit PCM with triangular dither from a fixed seed, so equal
    // buffers give equal files. Samples beyond ±1 are clamped. The file is
    // written beside its final name and renamed into place, so a failed
    // write never leaves a truncated sound behind.
    static void write(const std::filesystem::path& path, const AudioBuffer& buffer);

    // Reads 16-bit PCM or 32-bit float WAV data into a planar buffer.
    static AudioBuffer read(const std::filesystem::path& path);
};

} // namespace gloam::forge::audio
