#include "tests/forge_audio/AudioDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <memory>
#include <stdexcept>
#include <vector>

namespace gloam::forge::audio::testing {

namespace {
struct InputClose {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct CodecFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwrFree {
    void operator()(SwrContext* s) const { swr_free(&s); }
};
} // namespace

DecodedAudio decodeAudioFile(const std::filesystem::path& path)
{
    auto fail = [&](const std::string& what) -> void {
        throw std::runtime_error("cannot decode " + path.string() + ": " + what);
    };
    av_log_set_level(AV_LOG_ERROR);
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0)
        fail("cannot open");
    std::unique_ptr<AVFormatContext, InputClose> input(raw);
    if (avformat_find_stream_info(input.get(), nullptr) < 0)
        fail("no stream information");
    const AVCodec* codec = nullptr;
    const int index = av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (index < 0 || codec == nullptr)
        fail("no audio stream");
    std::unique_ptr<AVCodecContext, CodecFree> context(avcodec_alloc_context3(codec));
    avcodec_parameters_to_context(context.get(), input->streams[index]->codecpar);
    if (avcodec_open2(context.get(), codec, nullptr) < 0)
        fail("cannot open the decoder");

    DecodedAudio result;
    result.codec = codec->name;
    result.container = input->iformat->name;
    const int channels = context->ch_layout.nb_channels;
    result.audio = AudioBuffer(context->sample_rate, channels, 0);

    SwrContext* rawSwr = nullptr;
    if (swr_alloc_set_opts2(&rawSwr, &context->ch_layout, AV_SAMPLE_FMT_FLTP, context->sample_rate, &context->ch_layout,
                            context->sample_fmt, context->sample_rate, 0, nullptr) < 0 ||
        swr_init(rawSwr) < 0) {
        swr_free(&rawSwr);
        fail("cannot convert samples");
    }
    std::unique_ptr<SwrContext, SwrFree> swr(rawSwr);
    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());

    auto receive = [&] {
        while (avcodec_receive_frame(context.get(), frame.get()) >= 0) {
            std::vector<std::vector<float>> planes(static_cast<std::size_t>(channels),
                                                   std::vector<float>(static_cast<std::size_t>(frame->nb_samples)));
            std::vector<std::uint8_t*> out;
            for (auto& plane : planes)
                out.push_back(reinterpret_cast<std::uint8_t*>(plane.data()));
            const int got = swr_convert(swr.get(), out.data(), frame->nb_samples,
                                        const_cast<const std::uint8_t**>(frame->extended_data), frame->nb_samples);
            if (got < 0)
                fail("sample conversion failed");
            for (std::size_t c = 0; c < planes.size(); ++c)
                result.audio.channels[c].insert(result.audio.channels[c].end(), planes[c].begin(),
                                                planes[c].begin() + got);
        }
    };
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        if (packet->stream_index == index && avcodec_send_packet(context.get(), packet.get()) >= 0)
            receive();
        av_packet_unref(packet.get());
    }
    avcodec_send_packet(context.get(), nullptr);
    receive();
    return result;
}

} // namespace gloam::forge::audio::testing
