#include "platform/audio/DecodedAudio.h"

#include "platform/audio/AudioError.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <memory>
#include <string>

namespace gloam::platform {

namespace {

std::string describe(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

[[noreturn]] void fail(const std::filesystem::path& file, const std::string& what)
{
    throw AudioError("cannot play " + file.filename().string() + ": " + what);
}

struct FormatCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct ResamplerFreer {
    void operator()(SwrContext* context) const { swr_free(&context); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};

} // namespace

DecodedAudio DecodedAudio::decodeFile(const std::filesystem::path& file)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        fail(file, "no such file in " + file.parent_path().string());
    }

    AVFormatContext* rawFormat = nullptr;
    if (const int code = avformat_open_input(&rawFormat, file.c_str(), nullptr, nullptr); code < 0) {
        fail(file, "not a sound file (" + describe(code) + ")");
    }
    std::unique_ptr<AVFormatContext, FormatCloser> format(rawFormat);
    if (const int code = avformat_find_stream_info(format.get(), nullptr); code < 0) {
        fail(file, "unreadable (" + describe(code) + ")");
    }
    const AVCodec* codec = nullptr;
    const int stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (stream < 0 || codec == nullptr) {
        fail(file, "it holds no sound");
    }
    std::unique_ptr<AVCodecContext, CodecFreer> decoder(avcodec_alloc_context3(codec));
    avcodec_parameters_to_context(decoder.get(), format->streams[stream]->codecpar);
    if (const int code = avcodec_open2(decoder.get(), codec, nullptr); code < 0) {
        fail(file, "its sound cannot be decoded (" + describe(code) + ")");
    }

    DecodedAudio audio;
    audio.sampleRate = decoder->sample_rate;
    audio.channels = decoder->ch_layout.nb_channels >= 2 ? 2 : 1;
    if (audio.sampleRate <= 0 || decoder->ch_layout.nb_channels <= 0) {
        fail(file, "its sound has no sample rate or channels");
    }

    AVChannelLayout outLayout{};
    av_channel_layout_default(&outLayout, audio.channels);
    SwrContext* rawResampler = nullptr;
    if (swr_alloc_set_opts2(&rawResampler, &outLayout, AV_SAMPLE_FMT_S16, audio.sampleRate, &decoder->ch_layout,
                            decoder->sample_fmt, decoder->sample_rate, 0, nullptr) < 0 ||
        swr_init(rawResampler) < 0) {
        swr_free(&rawResampler);
        fail(file, "its sample format cannot be converted");
    }
    std::unique_ptr<SwrContext, ResamplerFreer> resampler(rawResampler);

    std::unique_ptr<AVPacket, PacketFreer> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameFreer> frame(av_frame_alloc());

    auto drain = [&]() {
        while (true) {
            const int code = avcodec_receive_frame(decoder.get(), frame.get());
            if (code == AVERROR(EAGAIN) || code == AVERROR_EOF) {
                return;
            }
            if (code < 0) {
                fail(file, "its sound is damaged (" + describe(code) + ")");
            }
            const int capacity = swr_get_out_samples(resampler.get(), frame->nb_samples);
            const std::size_t start = audio.samples.size();
            audio.samples.resize(start + static_cast<std::size_t>(capacity) * static_cast<std::size_t>(audio.channels));
            auto* out = reinterpret_cast<std::uint8_t*>(audio.samples.data() + start);
            const int converted =
                swr_convert(resampler.get(), &out, capacity, const_cast<const std::uint8_t**>(frame->extended_data),
                            frame->nb_samples);
            if (converted < 0) {
                fail(file, "its samples cannot be converted");
            }
            audio.samples.resize(start +
                                 static_cast<std::size_t>(converted) * static_cast<std::size_t>(audio.channels));
            av_frame_unref(frame.get());
        }
    };

    while (av_read_frame(format.get(), packet.get()) >= 0) {
        if (packet->stream_index == stream) {
            const int code = avcodec_send_packet(decoder.get(), packet.get());
            av_packet_unref(packet.get());
            if (code < 0 && code != AVERROR(EAGAIN)) {
                fail(file, "its sound is damaged (" + describe(code) + ")");
            }
            drain();
        } else {
            av_packet_unref(packet.get());
        }
    }
    avcodec_send_packet(decoder.get(), nullptr);
    drain();
    av_channel_layout_uninit(&outLayout);

    if (audio.samples.empty()) {
        fail(file, "it holds no samples");
    }
    return audio;
}

} // namespace gloam::platform
