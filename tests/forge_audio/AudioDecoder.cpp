#include "tests/forge_audio/AudioDecoder.h"

#include "platform/audio/DecodedAudio.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <memory>
#include <stdexcept>

namespace gloam::forge::audio::testing {

namespace {
struct InputClose {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
} // namespace

DecodedAudio decodeAudioFile(const std::filesystem::path& path)
{
    // The samples come from the engine's own decoder; FFmpeg is asked here
    // only what the file is (container and codec), which the engine does
    // not report.
    const platform::DecodedAudio decoded = platform::DecodedAudio::decodeFile(path);

    av_log_set_level(AV_LOG_ERROR);
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
        throw std::runtime_error("cannot open " + path.string());
    }
    std::unique_ptr<AVFormatContext, InputClose> input(raw);
    if (avformat_find_stream_info(input.get(), nullptr) < 0) {
        throw std::runtime_error("no stream information in " + path.string());
    }
    const AVCodec* codec = nullptr;
    if (av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0) < 0 || codec == nullptr) {
        throw std::runtime_error("no audio stream in " + path.string());
    }

    DecodedAudio result;
    result.codec = codec->name;
    result.container = input->iformat->name;
    const auto channels = static_cast<std::size_t>(decoded.channels);
    const std::size_t frames = channels == 0 ? 0 : decoded.samples.size() / channels;
    result.audio = AudioBuffer(decoded.sampleRate, decoded.channels, frames);
    for (std::size_t frame = 0; frame < frames; ++frame) {
        for (std::size_t c = 0; c < channels; ++c) {
            result.audio.channels[c][frame] = static_cast<float>(decoded.samples[frame * channels + c]) / 32768.0F;
        }
    }
    return result;
}

} // namespace gloam::forge::audio::testing
