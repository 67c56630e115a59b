#include "video/ffmpeg_video.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libavutil/timecode.h>
}

#include <cstdio>

#include <utility>
#include <vector>

#include "base/tool_error.h"
#include "video/ffmpeg_errors.h"

namespace deepglass::ffmpeg {

namespace {

// Slices of an FFV1 frame, coded apart on the encoder's threads: a count its version 3 takes, fixed
// so that the file does not depend on the machine. Of 4, 12, 16 and 24 on the 4K sample, 24 gave
// the smallest file, as fast as any (a slice's contexts adapt quicker to its own part).
constexpr int FFV1_SLICES = 24;

// x264's speed against size. Depth is smooth, so a faster preset costs little size; "medium" was
// measured against the others (README, "Depth as video").
constexpr const char* H264_PRESET = "medium";

// The largest side x264 encodes.
constexpr int H264_SIDE_MAX = 16384;

AVPixelFormat PixelFormatOf(const VideoFormat& format)
{
    if (format.codec == VideoCodec::H264) return AV_PIX_FMT_YUV420P;
    if (format.rgba) return format.bits == 8 ? AV_PIX_FMT_BGRA : AV_PIX_FMT_GBRAP16LE;
    return format.bits == 8 ? AV_PIX_FMT_GRAY8 : AV_PIX_FMT_GRAY16LE;
}

void Store16(std::uint8_t* at, std::uint16_t level)
{
    at[0] = static_cast<std::uint8_t>(level);
    at[1] = static_cast<std::uint8_t>(level >> 8);
}

struct Open {
    std::string name;
    VideoFormat format;
    AVFormatContext* container = nullptr;
    AVCodecContext* codec = nullptr;
    AVStream* stream = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    std::vector<std::uint16_t> row;
    std::int64_t next = 0; // the next frame's time, in frames

    ~Open()
    {
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&codec);
        if (container != nullptr && container->pb != nullptr) avio_closep(&container->pb);
        avformat_free_context(container);
    }

    [[noreturn]] void Fail(const std::string& what, int error) const
    {
        throw ToolError("cannot write " + name + ": " + what + ": " + FfmpegErrorText(error));
    }
    void Check(int result, const std::string& what) const
    {
        if (result < 0) Fail(what, result);
    }

    // Hands the codec `picture` (null: the end) and writes every packet it gives back.
    void Encode(const AVFrame* picture)
    {
        Check(avcodec_send_frame(codec, picture), "the encoder took no frame");
        for (;;) {
            const int result = avcodec_receive_packet(codec, packet);
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return;
            Check(result, "the encoder gave no packet");
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            Check(av_interleaved_write_frame(container, packet), "a frame was not written");
        }
    }

    // The frame's planes from the levels of each row.
    void Fill(const VideoRow& source)
    {
        const int width = format.width;
        const int channels = format.rgba ? 4 : 1;
        row.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(channels));
        for (int y = 0; y < format.height; ++y) {
            source(y, row.data());
            const auto line = [&](int plane) {
                return frame->data[plane] + std::ptrdiff_t{y} * frame->linesize[plane];
            };
            switch (frame->format) {
            case AV_PIX_FMT_GRAY16LE:
                for (int x = 0; x < width; ++x) Store16(line(0) + 2 * x, row[static_cast<std::size_t>(x)]);
                break;
            case AV_PIX_FMT_GRAY8:
            case AV_PIX_FMT_YUV420P:
                for (int x = 0; x < width; ++x)
                    line(0)[x] = static_cast<std::uint8_t>(row[static_cast<std::size_t>(x)]);
                break;
            case AV_PIX_FMT_GBRAP16LE: {
                // FFmpeg's planar RGB keeps green first: planes G, B, R, A.
                constexpr int PLANE_OF[4] = {2, 0, 1, 3};
                for (int x = 0; x < width; ++x)
                    for (int c = 0; c < 4; ++c)
                        Store16(line(PLANE_OF[c]) + 2 * x, row[static_cast<std::size_t>(4 * x + c)]);
                break;
            }
            case AV_PIX_FMT_BGRA:
                for (int x = 0; x < width; ++x) {
                    const std::uint16_t* pixel = &row[static_cast<std::size_t>(4 * x)];
                    std::uint8_t* out = line(0) + 4 * x;
                    out[0] = static_cast<std::uint8_t>(pixel[2]);
                    out[1] = static_cast<std::uint8_t>(pixel[1]);
                    out[2] = static_cast<std::uint8_t>(pixel[0]);
                    out[3] = static_cast<std::uint8_t>(pixel[3]);
                }
                break;
            default: break;
            }
        }
        if (frame->format == AV_PIX_FMT_YUV420P) // grey: chroma at its middle, neutral
            for (int plane = 1; plane < 3; ++plane)
                for (int y = 0; y < (format.height + 1) / 2; ++y)
                    std::fill_n(frame->data[plane] + std::ptrdiff_t{y} * frame->linesize[plane],
                                (width + 1) / 2, std::uint8_t{128});
    }
};

// A video being written, its frames handed to the encoder as they come.
class Writing final : public VideoWriting {
public:
    Writing() : open(std::make_unique<Open>()) {}
    void Add(const VideoRow& row) override
    {
        Open& o = *open;
        o.Check(av_frame_make_writable(o.frame), "no frame");
        o.Fill(row);
        o.frame->pts = o.next++;
        o.Encode(o.frame);
    }
    void Finish() override
    {
        Open& o = *open;
        o.Encode(nullptr);
        o.Check(av_write_trailer(o.container), "the container's index was not written");
        o.Check(avio_closep(&o.container->pb), "the file was not closed");
    }

    std::unique_ptr<Open> open;
};

} // namespace

std::unique_ptr<VideoWriting> StartWriting(const std::string& path, const std::string& name,
                                           const VideoFormat& format)
{
    QuietFfmpegLog();
    auto writing = std::make_unique<Writing>();
    Open& o = *writing->open;
    o.name = name;
    o.format = format;
    const bool h264 = format.codec == VideoCodec::H264;
    // x264 refuses larger pictures itself, but not without leaking what it had set up.
    if (h264 && (format.width > H264_SIDE_MAX || format.height > H264_SIDE_MAX))
        throw ToolError("cannot write " + name + ": H.264 takes pictures up to " +
                        std::to_string(H264_SIDE_MAX) + " pixels a side, and the pictures are " +
                        std::to_string(format.width) + " x " + std::to_string(format.height) +
                        "; a .mkv takes any size");
    if (h264 && (format.width % 2 != 0 || format.height % 2 != 0))
        throw ToolError("cannot write " + name +
                        ": H.264 in 4:2:0 takes an even width and height, and the "
                        "pictures are " +
                        std::to_string(format.width) + " x " + std::to_string(format.height) +
                        "; a .mkv takes any size");
    o.Check(avformat_alloc_output_context2(&o.container, nullptr, h264 ? "mp4" : "matroska", path.c_str()),
            "no container");
    // The same frames make the same file: no random segment id, no library versions or dates.
    o.container->flags |= AVFMT_FLAG_BITEXACT;
    const AVCodec* encoder =
        h264 ? avcodec_find_encoder_by_name("libx264") : avcodec_find_encoder(AV_CODEC_ID_FFV1);
    if (encoder == nullptr)
        throw ToolError("cannot write " + name + ": this FFmpeg has no " + (h264 ? "libx264" : "FFV1") +
                        " encoder");
    o.stream = avformat_new_stream(o.container, nullptr);
    o.frame = av_frame_alloc();
    o.packet = av_packet_alloc();
    if (o.stream == nullptr || o.frame == nullptr || o.packet == nullptr) throw std::bad_alloc();
    // FFV1 takes a slice count only where each slice gets pixels enough: the first of these that
    // the size takes (version 3), else one slice of version 1, which any size takes.
    const std::vector<std::pair<int, int>> attempts =
        h264 ? std::vector<std::pair<int, int>>{{0, 0}}
             : std::vector<std::pair<int, int>>{{FFV1_SLICES, 3}, {4, 3}, {1, 3}, {0, 1}};
    int opened = 0;
    for (const auto& [slices, level] : attempts) {
        avcodec_free_context(&o.codec);
        o.codec = avcodec_alloc_context3(encoder);
        if (o.codec == nullptr) throw std::bad_alloc();
        AVCodecContext& codec = *o.codec;
        codec.width = format.width;
        codec.height = format.height;
        codec.pix_fmt = PixelFormatOf(format);
        codec.time_base = {format.rate.denominator, format.rate.numerator};
        codec.framerate = {format.rate.numerator, format.rate.denominator};
        codec.thread_count = format.threads;
        if (o.container->oformat->flags & AVFMT_GLOBALHEADER) codec.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        AVDictionary* options = nullptr;
        if (h264) {
            // Full range: the luma holds the levels 0 to 255 themselves, and says so, so that a
            // decoder gives them back rather than stretching 16 to 235 over them.
            codec.color_range = AVCOL_RANGE_JPEG;
            av_dict_set(&options, "preset", H264_PRESET, 0);
            av_dict_set_int(&options, "crf", format.quality, 0);
        } else {
            // Every frame a key frame; in version 3 in slices of its own, each with a checksum, so
            // that a damaged frame is found and the others are still read.
            codec.gop_size = 1;
            codec.thread_type = FF_THREAD_SLICE;
            av_dict_set_int(&options, "level", level, 0);
            if (level == 3) {
                av_dict_set(&options, "slicecrc", "1", 0);
                av_dict_set_int(&options, "slices", slices, 0);
            }
        }
        opened = avcodec_open2(&codec, encoder, &options);
        av_dict_free(&options);
        if (opened >= 0) break;
    }
    o.Check(opened, "the encoder did not start");
    const AVCodecContext& codec = *o.codec;
    o.Check(avcodec_parameters_from_context(o.stream->codecpar, &codec), "no stream parameters");
    o.stream->time_base = codec.time_base;
    o.stream->avg_frame_rate = codec.framerate;
    for (const auto& [key, value] : format.tags)
        av_dict_set(&o.container->metadata, key.c_str(), value.c_str(), 0);
    if (!format.timeCode.empty()) av_dict_set(&o.container->metadata, "timecode", format.timeCode.c_str(), 0);
    o.Check(avio_open(&o.container->pb, path.c_str(), AVIO_FLAG_WRITE), "cannot create the file");
    AVDictionary* muxing = nullptr;
    // MP4 keeps keys of its own only when told; the index goes first, so that a browser plays the
    // file before it has all of it.
    if (h264) av_dict_set(&muxing, "movflags", "+use_metadata_tags+faststart", 0);
    const int written = avformat_write_header(o.container, &muxing);
    av_dict_free(&muxing);
    o.Check(written, "the container's header was not written");
    o.frame->format = codec.pix_fmt;
    o.frame->width = codec.width;
    o.frame->height = codec.height;
    o.frame->color_range = codec.color_range;
    o.Check(av_frame_get_buffer(o.frame, 0), "no frame");
    return writing;
}

std::string TimeCodeText(int hours, int minutes, int seconds, int frame, bool dropFrame,
                         const VideoRate& rate)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d%c%02d", hours, minutes, seconds, dropFrame ? ';' : ':',
                  frame);
    // The muxers read it so, and refuse the file's header where it does not fit the rate.
    AVTimecode code;
    QuietFfmpegLog();
    if (av_timecode_init_from_string(&code, {rate.numerator, rate.denominator}, text, nullptr) < 0) return {};
    return text;
}

} // namespace deepglass::ffmpeg
