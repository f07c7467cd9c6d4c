#include "platform/video/Mp4Writer.h"

#include "platform/video/VideoError.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <array>
#include <vector>

namespace gloam::platform {

namespace {

std::string describe(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

void check(int code, const std::string& doing)
{
    if (code < 0) {
        throw VideoError(doing.empty() ? describe(code) : doing + ": " + describe(code));
    }
}

// Key frames this often, so that a player can seek within a clip.
constexpr int secondsPerKeyFrame = 2;
constexpr int soundBitRate = 192000;

} // namespace

struct Mp4Writer::Streams {
    Settings settings;
    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* sound = nullptr;
    AVStream* videoStream = nullptr;
    AVStream* soundStream = nullptr;
    SwsContext* converter = nullptr;
    AVFrame* picture = nullptr;
    AVFrame* soundFrame = nullptr;
    AVPacket* packet = nullptr;
    AVAudioFifo* pending = nullptr;
    std::array<std::vector<float>, 2> planes;
    std::int64_t nextPicture = 0;
    std::int64_t nextSample = 0;
    bool finished = false;

    ~Streams()
    {
        if (format != nullptr && format->pb != nullptr) {
            avio_closep(&format->pb);
        }
        avformat_free_context(format);
        avcodec_free_context(&video);
        avcodec_free_context(&sound);
        sws_freeContext(converter);
        av_frame_free(&picture);
        av_frame_free(&soundFrame);
        av_packet_free(&packet);
        if (pending != nullptr) {
            av_audio_fifo_free(pending);
        }
    }

    // Sends one frame (or, with none, the end) to an encoder and writes
    // every packet it gives back.
    void encode(AVCodecContext* encoder, AVStream* stream, const AVFrame* frame)
    {
        check(avcodec_send_frame(encoder, frame), "");
        while (true) {
            const int code = avcodec_receive_packet(encoder, packet);
            if (code == AVERROR(EAGAIN) || code == AVERROR_EOF) {
                return;
            }
            check(code, "");
            av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
            packet->stream_index = stream->index;
            // Takes the packet's data and leaves it empty for the next.
            check(av_interleaved_write_frame(format, packet), "");
        }
    }

    // Encodes the pending sound in the encoder's frame size; with `all`,
    // also the shorter rest at the end.
    void encodePendingSound(bool all)
    {
        const int frameSize = sound->frame_size;
        while (av_audio_fifo_size(pending) >= frameSize || (all && av_audio_fifo_size(pending) > 0)) {
            const int count = std::min(av_audio_fifo_size(pending), frameSize);
            check(av_frame_make_writable(soundFrame), "");
            soundFrame->nb_samples = count;
            if (av_audio_fifo_read(pending, reinterpret_cast<void**>(soundFrame->data), count) != count) {
                throw VideoError("the sound could not be buffered");
            }
            soundFrame->pts = nextSample;
            nextSample += count;
            encode(sound, soundStream, soundFrame);
        }
    }
};

std::string Mp4Writer::h264EncoderName()
{
    // x264 first: the software encoder every FFmpeg build with H.264 has,
    // needing no device.
    if (const AVCodec* codec = avcodec_find_encoder_by_name("libx264")) {
        return codec->name;
    }
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_H264);
    return codec != nullptr ? codec->name : std::string();
}

void Mp4Writer::silenceLibraryLog()
{
    av_log_set_level(AV_LOG_QUIET);
}

Mp4Writer::Mp4Writer(const std::filesystem::path& file, const Settings& settings)
    : streams_(std::make_unique<Streams>())
{
    Streams& s = *streams_;
    s.settings = settings;
    if (settings.width < 2 || settings.height < 2 || settings.width % 2 != 0 || settings.height % 2 != 0) {
        throw VideoError("H.264 in yuv420p wants an even width and height");
    }
    if (settings.framesPerSecond < 1 || settings.sampleRate < 8000) {
        throw VideoError("the frame rate or the sample rate is out of range");
    }
    const std::string encoderName = h264EncoderName();
    if (encoderName.empty()) {
        throw VideoError("this FFmpeg build has no H.264 encoder (libavcodec without libx264)");
    }
    const AVCodec* h264 = avcodec_find_encoder_by_name(encoderName.c_str());
    const AVCodec* aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (aac == nullptr) {
        throw VideoError("this FFmpeg build has no AAC encoder");
    }

    check(avformat_alloc_output_context2(&s.format, nullptr, "mp4", file.c_str()), "no MP4 muxer");
    const bool globalHeader = (s.format->oformat->flags & AVFMT_GLOBALHEADER) != 0;

    // The picture: H.264 in yuv420p, BT.709 with video levels, as players expect.
    s.video = avcodec_alloc_context3(h264);
    s.video->width = settings.width;
    s.video->height = settings.height;
    s.video->time_base = AVRational{1, settings.framesPerSecond};
    s.video->framerate = AVRational{settings.framesPerSecond, 1};
    s.video->pix_fmt = AV_PIX_FMT_YUV420P;
    s.video->gop_size = settings.framesPerSecond * secondsPerKeyFrame;
    s.video->color_range = AVCOL_RANGE_MPEG;
    s.video->colorspace = AVCOL_SPC_BT709;
    s.video->color_primaries = AVCOL_PRI_BT709;
    s.video->color_trc = AVCOL_TRC_BT709;
    if (globalHeader) {
        s.video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    AVDictionary* videoOptions = nullptr;
    if (encoderName == "libx264") {
        // "veryfast" keeps the encoder a small share of a software-rendered
        // frame; the constant-rate factor keeps the quality.
        av_dict_set(&videoOptions, "preset", "veryfast", 0);
        av_dict_set(&videoOptions, "profile", "high", 0);
        av_dict_set_int(&videoOptions, "crf", settings.quality, 0);
    } else {
        s.video->bit_rate = static_cast<std::int64_t>(settings.width) * settings.height * settings.framesPerSecond / 8;
    }
    const int videoOpened = avcodec_open2(s.video, h264, &videoOptions);
    av_dict_free(&videoOptions);
    check(videoOpened, "the H.264 encoder " + encoderName + " cannot start");

    // The sound: AAC, stereo, planar floats in.
    s.sound = avcodec_alloc_context3(aac);
    s.sound->sample_fmt = AV_SAMPLE_FMT_FLTP;
    s.sound->sample_rate = settings.sampleRate;
    s.sound->time_base = AVRational{1, settings.sampleRate};
    s.sound->bit_rate = soundBitRate;
    av_channel_layout_default(&s.sound->ch_layout, 2);
    if (globalHeader) {
        s.sound->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    check(avcodec_open2(s.sound, aac, nullptr), "the AAC encoder cannot start");

    s.videoStream = avformat_new_stream(s.format, nullptr);
    s.soundStream = avformat_new_stream(s.format, nullptr);
    if (s.videoStream == nullptr || s.soundStream == nullptr) {
        throw VideoError("out of memory");
    }
    check(avcodec_parameters_from_context(s.videoStream->codecpar, s.video), "");
    s.videoStream->time_base = s.video->time_base;
    s.videoStream->avg_frame_rate = s.video->framerate;
    check(avcodec_parameters_from_context(s.soundStream->codecpar, s.sound), "");
    s.soundStream->time_base = s.sound->time_base;

    s.picture = av_frame_alloc();
    s.soundFrame = av_frame_alloc();
    s.packet = av_packet_alloc();
    s.pending = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, 2, s.sound->frame_size * 4);
    if (s.picture == nullptr || s.soundFrame == nullptr || s.packet == nullptr || s.pending == nullptr) {
        throw VideoError("out of memory");
    }
    s.picture->format = AV_PIX_FMT_YUV420P;
    s.picture->width = settings.width;
    s.picture->height = settings.height;
    check(av_frame_get_buffer(s.picture, 0), "");
    s.soundFrame->format = AV_SAMPLE_FMT_FLTP;
    s.soundFrame->sample_rate = settings.sampleRate;
    s.soundFrame->nb_samples = s.sound->frame_size;
    check(av_channel_layout_copy(&s.soundFrame->ch_layout, &s.sound->ch_layout), "");
    check(av_frame_get_buffer(s.soundFrame, 0), "");

    // The renderer's sRGB bytes (full range) to BT.709 video levels.
    s.converter = sws_getContext(settings.width, settings.height, AV_PIX_FMT_RGBA, settings.width, settings.height,
                                 AV_PIX_FMT_YUV420P, SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP, nullptr,
                                 nullptr, nullptr);
    if (s.converter == nullptr) {
        throw VideoError("no colour conversion from RGBA to yuv420p");
    }
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(s.converter, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);

    check(avio_open(&s.format->pb, file.c_str(), AVIO_FLAG_WRITE), "");
    AVDictionary* muxerOptions = nullptr;
    // The index goes to the front once the file is complete, so that a
    // browser can start playing before the whole file has arrived.
    av_dict_set(&muxerOptions, "movflags", "+faststart", 0);
    const int headerWritten = avformat_write_header(s.format, &muxerOptions);
    av_dict_free(&muxerOptions);
    check(headerWritten, "");
}

Mp4Writer::~Mp4Writer() = default;

int Mp4Writer::framesWritten() const
{
    return static_cast<int>(streams_->nextPicture);
}

void Mp4Writer::addFrame(const std::uint8_t* rgba)
{
    Streams& s = *streams_;
    // The encoder may still hold the last picture's buffers.
    check(av_frame_make_writable(s.picture), "");
    const std::uint8_t* const source[1] = {rgba};
    const int sourceStride[1] = {s.settings.width * 4};
    sws_scale(s.converter, source, sourceStride, 0, s.settings.height, s.picture->data, s.picture->linesize);
    s.picture->pts = s.nextPicture++;
    s.encode(s.video, s.videoStream, s.picture);
}

void Mp4Writer::addSound(const float* interleaved, int frames)
{
    Streams& s = *streams_;
    if (frames <= 0) {
        return;
    }
    for (auto& plane : s.planes) {
        plane.resize(static_cast<std::size_t>(frames));
    }
    for (int i = 0; i < frames; ++i) {
        s.planes[0][static_cast<std::size_t>(i)] = interleaved[2 * i];
        s.planes[1][static_cast<std::size_t>(i)] = interleaved[2 * i + 1];
    }
    void* planes[2] = {s.planes[0].data(), s.planes[1].data()};
    if (av_audio_fifo_write(s.pending, planes, frames) != frames) {
        throw VideoError("the sound could not be buffered");
    }
    s.encodePendingSound(false);
}

void Mp4Writer::finish()
{
    Streams& s = *streams_;
    if (s.finished) {
        return;
    }
    s.encodePendingSound(true);
    s.encode(s.video, s.videoStream, nullptr);
    s.encode(s.sound, s.soundStream, nullptr);
    // The trailer writes the index and, for faststart, moves it to the
    // front by rewriting the file: the step that needs the most room.
    check(av_write_trailer(s.format), "");
    check(s.format->pb->error, "");
    check(avio_closep(&s.format->pb), "");
    s.finished = true;
}

} // namespace gloam::platform
