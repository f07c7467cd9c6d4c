#include "tests/video/DecodedVideo.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <cmath>
#include <fstream>
#include <limits>
#include <memory>
#include <stdexcept>

namespace gloam::testing {

namespace {

void check(int code, const char* what)
{
    if (code < 0) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(code, text, sizeof text);
        throw std::runtime_error(std::string(what) + ": " + text);
    }
}

std::vector<std::string> topLevelBoxes(const std::filesystem::path& file)
{
    std::vector<std::string> boxes;
    std::ifstream in(file, std::ios::binary);
    std::uint64_t at = 0;
    const std::uint64_t size = std::filesystem::file_size(file);
    while (at + 8 <= size) {
        unsigned char header[16] = {};
        in.seekg(static_cast<std::streamoff>(at));
        in.read(reinterpret_cast<char*>(header), 16);
        std::uint64_t length = (std::uint64_t{header[0]} << 24) | (std::uint64_t{header[1]} << 16) |
                               (std::uint64_t{header[2]} << 8) | header[3];
        boxes.emplace_back(reinterpret_cast<char*>(header) + 4, 4);
        if (length == 1) {
            length = 0;
            for (int i = 8; i < 16; ++i) {
                length = (length << 8) | header[i];
            }
        }
        if (length < 8) {
            break;
        }
        at += length;
    }
    return boxes;
}

struct Decoder {
    AVCodecContext* context = nullptr;
    ~Decoder() { avcodec_free_context(&context); }
};

} // namespace

DecodedVideo DecodedVideo::read(const std::filesystem::path& file)
{
    DecodedVideo video;
    video.boxes = topLevelBoxes(file);

    AVFormatContext* format = nullptr;
    check(avformat_open_input(&format, file.c_str(), nullptr, nullptr), "open");
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> closer(
        format, [](AVFormatContext* f) { avformat_close_input(&f); });
    check(avformat_find_stream_info(format, nullptr), "stream info");
    const int videoIndex = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int soundIndex = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);

    Decoder picture;
    Decoder sound;
    auto open = [&](int index, Decoder& decoder) {
        if (index < 0) {
            return;
        }
        const AVCodecParameters* parameters = format->streams[index]->codecpar;
        const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
        if (codec == nullptr) {
            throw std::runtime_error("no decoder");
        }
        decoder.context = avcodec_alloc_context3(codec);
        check(avcodec_parameters_to_context(decoder.context, parameters), "parameters");
        decoder.context->pkt_timebase = format->streams[index]->time_base;
        check(avcodec_open2(decoder.context, codec, nullptr), "decoder");
    };
    open(videoIndex, picture);
    open(soundIndex, sound);
    if (videoIndex >= 0) {
        const AVStream* stream = format->streams[videoIndex];
        video.videoCodec = avcodec_get_name(stream->codecpar->codec_id);
        const char* name = av_get_pix_fmt_name(static_cast<AVPixelFormat>(stream->codecpar->format));
        video.pixelFormat = name != nullptr ? name : "";
        video.width = stream->codecpar->width;
        video.height = stream->codecpar->height;
        video.rateNumerator = stream->avg_frame_rate.num;
        video.rateDenominator = stream->avg_frame_rate.den;
    }
    if (soundIndex >= 0) {
        const AVStream* stream = format->streams[soundIndex];
        video.soundCodec = avcodec_get_name(stream->codecpar->codec_id);
        video.sampleRate = stream->codecpar->sample_rate;
        video.channels = stream->codecpar->ch_layout.nb_channels;
    }

    SwsContext* converter = nullptr;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    auto drain = [&](Decoder& decoder, bool isVideo) {
        while (avcodec_receive_frame(decoder.context, frame) >= 0) {
            if (isVideo) {
                converter = sws_getCachedContext(converter, frame->width, frame->height,
                                                 static_cast<AVPixelFormat>(frame->format), frame->width, frame->height,
                                                 AV_PIX_FMT_RGBA, SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT,
                                                 nullptr, nullptr, nullptr);
                const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
                sws_setColorspaceDetails(converter, bt709, frame->color_range == AVCOL_RANGE_JPEG ? 1 : 0, bt709, 1, 0,
                                         1 << 16, 1 << 16);
                std::vector<std::uint8_t> rgba(static_cast<std::size_t>(frame->width) * frame->height * 4);
                std::uint8_t* target[1] = {rgba.data()};
                const int stride[1] = {frame->width * 4};
                sws_scale(converter, frame->data, frame->linesize, 0, frame->height, target, stride);
                video.frames.push_back(std::move(rgba));
            } else {
                const int channels = frame->ch_layout.nb_channels;
                for (int i = 0; i < frame->nb_samples; ++i) {
                    for (int c = 0; c < channels; ++c) {
                        const float value = frame->format == AV_SAMPLE_FMT_FLTP
                                                ? reinterpret_cast<const float*>(frame->data[c])[i]
                                                : reinterpret_cast<const float*>(frame->data[0])[i * channels + c];
                        video.samples.push_back(value);
                    }
                }
            }
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == videoIndex) {
            check(avcodec_send_packet(picture.context, packet), "video packet");
            drain(picture, true);
        } else if (packet->stream_index == soundIndex) {
            check(avcodec_send_packet(sound.context, packet), "sound packet");
            drain(sound, false);
        }
        av_packet_unref(packet);
    }
    for (auto [decoder, isVideo] : {std::pair{&picture, true}, std::pair{&sound, false}}) {
        if (decoder->context != nullptr) {
            avcodec_send_packet(decoder->context, nullptr);
            drain(*decoder, isVideo);
        }
    }
    sws_freeContext(converter);
    av_frame_free(&frame);
    av_packet_free(&packet);
    return video;
}

double psnr(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b)
{
    if (a.size() != b.size() || a.empty()) {
        return 0.0;
    }
    double sum = 0;
    std::size_t count = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (i % 4 == 3) {
            continue;
        }
        const double d = static_cast<double>(a[i]) - static_cast<double>(b[i]);
        sum += d * d;
        ++count;
    }
    const double mse = sum / static_cast<double>(count);
    return mse == 0 ? std::numeric_limits<double>::infinity() : 10.0 * std::log10(255.0 * 255.0 / mse);
}

double lumaPsnr(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b)
{
    if (a.size() != b.size() || a.empty()) {
        return 0.0;
    }
    auto luma = [](const std::vector<std::uint8_t>& p, std::size_t i) {
        return 0.2126 * p[i] + 0.7152 * p[i + 1] + 0.0722 * p[i + 2];
    };
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); i += 4) {
        const double d = luma(a, i) - luma(b, i);
        sum += d * d;
    }
    const double mse = sum / static_cast<double>(a.size() / 4);
    return mse == 0 ? std::numeric_limits<double>::infinity() : 10.0 * std::log10(255.0 * 255.0 / mse);
}

double rms(const DecodedVideo& video, double from, double to)
{
    const auto first = static_cast<std::size_t>(std::max(from, 0.0) * video.sampleRate) * video.channels;
    const auto end = std::min(video.samples.size(), static_cast<std::size_t>(to * video.sampleRate) * video.channels);
    double sum = 0;
    for (std::size_t i = first; i < end; ++i) {
        sum += static_cast<double>(video.samples[i]) * video.samples[i];
    }
    return end > first ? std::sqrt(sum / static_cast<double>(end - first)) : 0.0;
}

} // namespace gloam::testing
