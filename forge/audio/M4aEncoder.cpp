#include "forge/audio/M4aEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <memory>
#include <string>
#include <vector>

namespace gloam::forge::audio {

namespace {

std::string describe(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

struct Failure {
    std::string path;
    [[noreturn]] void operator()(const std::string& what, int code = 0) const
    {
        throw EncodeError("cannot encode " + path + ": " + what + (code < 0 ? " (" + describe(code) + ")" : ""));
    }
};

struct CodecContextFree {
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
struct OutputFree {
    void operator()(AVFormatContext* f) const
    {
        if (f->pb != nullptr)
            avio_closep(&f->pb);
        avformat_free_context(f);
    }
};

void encode(const std::string& temporaryName, const AudioBuffer& buffer, long bitRate, const Failure& fail)
{
    int code = 0;
    av_log_set_level(AV_LOG_ERROR);
    const AVCodec* codec = avcodec_find_encoder_by_name("aac");
    if (codec == nullptr)
        fail("FFmpeg has no AAC encoder");

    AVFormatContext* rawOutput = nullptr;
    code = avformat_alloc_output_context2(&rawOutput, nullptr, "ipod", temporaryName.c_str());
    if (code < 0 || rawOutput == nullptr)
        fail("no MP4 muxer", code);
    std::unique_ptr<AVFormatContext, OutputFree> output(rawOutput);
    output->flags |= AVFMT_FLAG_BITEXACT;

    std::unique_ptr<AVCodecContext, CodecContextFree> context(avcodec_alloc_context3(codec));
    if (!context)
        fail("out of memory");
    context->sample_fmt = AV_SAMPLE_FMT_FLTP;
    context->sample_rate = buffer.sampleRate;
    av_channel_layout_default(&context->ch_layout, buffer.channelCount());
    context->bit_rate = bitRate;
    context->time_base = AVRational{1, buffer.sampleRate};
    context->flags |= AV_CODEC_FLAG_BITEXACT;
    if ((output->oformat->flags & AVFMT_GLOBALHEADER) != 0)
        context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    // The fast coder is plenty for music at this bit rate and keeps the
    // forge quick; the default two-loop search costs several seconds.
    av_opt_set(context->priv_data, "aac_coder", "fast", 0);
    if ((code = avcodec_open2(context.get(), codec, nullptr)) < 0)
        fail("cannot open the AAC encoder", code);

    AVStream* stream = avformat_new_stream(output.get(), nullptr);
    if (stream == nullptr)
        fail("cannot add a stream");
    stream->time_base = context->time_base;
    if ((code = avcodec_parameters_from_context(stream->codecpar, context.get())) < 0)
        fail("cannot describe the stream", code);

    if ((code = avio_open(&output->pb, temporaryName.c_str(), AVIO_FLAG_WRITE)) < 0)
        fail("cannot open the file for writing", code);
    if ((code = avformat_write_header(output.get(), nullptr)) < 0)
        fail("cannot write the header", code);

    // The synthesis buffer is planar float already; the resampler only
    // adapts the layout to whatever the encoder asks for.
    SwrContext* rawSwr = nullptr;
    AVChannelLayout inputLayout;
    av_channel_layout_default(&inputLayout, buffer.channelCount());
    code = swr_alloc_set_opts2(&rawSwr, &context->ch_layout, context->sample_fmt, context->sample_rate, &inputLayout,
                               AV_SAMPLE_FMT_FLTP, buffer.sampleRate, 0, nullptr);
    av_channel_layout_uninit(&inputLayout);
    if (code < 0 || rawSwr == nullptr)
        fail("cannot set up sample conversion", code);
    std::unique_ptr<SwrContext, SwrFree> swr(rawSwr);
    if ((code = swr_init(swr.get())) < 0)
        fail("cannot set up sample conversion", code);

    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    if (!frame || !packet)
        fail("out of memory");

    auto drain = [&](bool flushing) {
        while (true) {
            const int received = avcodec_receive_packet(context.get(), packet.get());
            if (received == AVERROR(EAGAIN) || (flushing && received == AVERROR_EOF))
                return;
            if (received < 0)
                fail("encoding failed", received);
            av_packet_rescale_ts(packet.get(), context->time_base, stream->time_base);
            packet->stream_index = stream->index;
            const int written = av_interleaved_write_frame(output.get(), packet.get());
            if (written < 0)
                fail("cannot write audio data", written);
        }
    };

    const int frameSize = context->frame_size > 0 ? context->frame_size : 1024;
    const std::size_t total = buffer.frameCount();
    std::int64_t pts = 0;
    for (std::size_t offset = 0; offset < total; offset += static_cast<std::size_t>(frameSize)) {
        const int count = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(frameSize), total - offset));
        av_frame_unref(frame.get());
        frame->nb_samples = count;
        frame->format = context->sample_fmt;
        frame->sample_rate = context->sample_rate;
        if ((code = av_channel_layout_copy(&frame->ch_layout, &context->ch_layout)) < 0)
            fail("out of memory", code);
        if ((code = av_frame_get_buffer(frame.get(), 0)) < 0)
            fail("out of memory", code);
        std::vector<const std::uint8_t*> input;
        for (const auto& channel : buffer.channels)
            input.push_back(reinterpret_cast<const std::uint8_t*>(channel.data() + offset));
        if ((code = swr_convert(swr.get(), frame->data, count, input.data(), count)) < 0)
            fail("sample conversion failed", code);
        frame->pts = pts;
        pts += count;
        if ((code = avcodec_send_frame(context.get(), frame.get())) < 0)
            fail("encoding failed", code);
        drain(false);
    }
    if ((code = avcodec_send_frame(context.get(), nullptr)) < 0)
        fail("encoding failed", code);
    drain(true);
    if ((code = av_write_trailer(output.get())) < 0)
        fail("cannot finish the file", code);
    avio_closep(&output->pb);
}

} // namespace

void M4aEncoder::write(const std::filesystem::path& path, const AudioBuffer& buffer, long bitRate)
{
    const Failure fail{path.string()};
    if (buffer.channelCount() < 1 || buffer.channelCount() > 2)
        fail("only mono or stereo can be encoded");
    if (buffer.frameCount() == 0)
        fail("the buffer is empty");

    // The muxer checks the extension, so the temporary name keeps it.
    const auto temporary = std::filesystem::path(path).concat(".partial.m4a");
    const std::string temporaryName = temporary.string();

    try {
        encode(temporaryName, buffer, bitRate, fail);
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw;
    }

    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        fail("cannot move the file into place");
    }
}

} // namespace gloam::forge::audio
