#include "video/ffmpeg_video.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cctype>
#include <cstring>

#include "base/tool_error.h"
#include "video/ffmpeg_errors.h"

namespace deepglass::ffmpeg {

namespace {

// Bytes a pixel may take at most: the decoder's frame (four 16-bit planes) and the levels handed
// over (four 16-bit channels).
constexpr std::uint64_t DECODED_PIXEL_BYTES = 16;

// FFmpeg's objects for a file, freed however far opening it got: a base of Demuxer, so that they
// are freed also when its constructor refuses the file.
struct DemuxerObjects {
    AVFormatContext* container = nullptr;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;

    DemuxerObjects() = default;
    DemuxerObjects(const DemuxerObjects&) = delete;
    DemuxerObjects& operator=(const DemuxerObjects&) = delete;
    ~DemuxerObjects()
    {
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        avformat_close_input(&container);
    }
};

// The file opened with only the containers and codecs the tool writes: the rest of FFmpeg's
// readers never see an input.
struct Demuxer : DemuxerObjects {
    std::string path;
    int stream = -1;

    Demuxer(const std::string& path, std::uint64_t budget) : path(path)
    {
        QuietFfmpegLog();
        AVDictionary* options = nullptr;
        av_dict_set(&options, "protocol_whitelist", "file", 0);
        av_dict_set(&options, "format_whitelist", "matroska,webm,mov,mp4,m4a,3gp,3g2,mj2", 0);
        av_dict_set(&options, "codec_whitelist", "ffv1,h264", 0);
        const int opened = avformat_open_input(&container, path.c_str(), nullptr, &options);
        av_dict_free(&options);
        if (opened < 0)
            throw ToolError(path + ": no video deepglass reads (FFV1 in Matroska or H.264 in MP4): " +
                            FfmpegErrorText(opened));
        Check(avformat_find_stream_info(container, nullptr), "its streams cannot be read");
        const AVCodec* decoder = nullptr;
        stream = av_find_best_stream(container, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
        if (stream < 0) throw ToolError(path + ": no video stream");
        const AVCodecParameters& parameters = *container->streams[stream]->codecpar;
        if (parameters.codec_id != AV_CODEC_ID_FFV1 && parameters.codec_id != AV_CODEC_ID_H264)
            throw ToolError(path + ": its video is " + avcodec_get_name(parameters.codec_id) +
                            ", not FFV1 or H.264, which deepglass writes");
        if (decoder == nullptr) throw ToolError(path + ": this FFmpeg cannot decode its video");
        const std::uint64_t pixels = static_cast<std::uint64_t>(std::max(parameters.width, 0)) *
                                     static_cast<std::uint64_t>(std::max(parameters.height, 0));
        if (parameters.width <= 0 || parameters.height <= 0)
            throw ToolError(path + ": its video has no size");
        if (budget > 0 && pixels > budget / DECODED_PIXEL_BYTES)
            throw ToolError(path + ": its pictures of " + std::to_string(parameters.width) + " x " +
                            std::to_string(parameters.height) + " would take " +
                            std::to_string(pixels * DECODED_PIXEL_BYTES) + " bytes, more than the " +
                            std::to_string(budget) + " --max-memory allows");
        codec = avcodec_alloc_context3(decoder);
        packet = av_packet_alloc();
        frame = av_frame_alloc();
        if (codec == nullptr || packet == nullptr || frame == nullptr) throw std::bad_alloc();
        Check(avcodec_parameters_to_context(codec, &parameters), "its video cannot be decoded");
        // A frame larger than the stream claims is held to the budget too.
        if (budget > 0) codec->max_pixels = static_cast<std::int64_t>(budget / DECODED_PIXEL_BYTES);
        codec->err_recognition |= AV_EF_CRCCHECK | AV_EF_EXPLODE;
        Check(avcodec_open2(codec, decoder, nullptr), "its video cannot be decoded");
    }

    void Check(int result, const std::string& what) const
    {
        if (result < 0) throw ToolError(path + ": " + what + ": " + FfmpegErrorText(result));
    }

    // The next packet of the video stream; false at the end. A ToolError for a read error or a
    // packet cut short, naming the frame (from 1).
    bool NextPacket(std::size_t number)
    {
        for (;;) {
            av_packet_unref(packet);
            const int result = av_read_frame(container, packet);
            if (result == AVERROR_EOF) return false;
            Check(result, "frame " + std::to_string(number) + " cannot be read");
            if (packet->stream_index != stream) continue;
            if (packet->flags & AV_PKT_FLAG_CORRUPT)
                throw ToolError(path + ": frame " + std::to_string(number) + " is cut short");
            return true;
        }
    }
};

// The bits of the levels a frame of `format` is handed over in.
int LevelBits(AVPixelFormat format)
{
    return format == AV_PIX_FMT_GRAY16LE || format == AV_PIX_FMT_GBRAP16LE ? 16 : 8;
}

// The levels of a decoded frame, as a PNG of the same pixels would hold them.
PngPicture LevelsOf(const AVFrame& frame, const std::string& path, std::size_t place)
{
    PngPicture picture;
    picture.width = frame.width;
    picture.height = frame.height;
    const auto format = static_cast<AVPixelFormat>(frame.format);
    const bool yuv = format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P;
    picture.bits = LevelBits(format);
    picture.channels = format == AV_PIX_FMT_BGRA || format == AV_PIX_FMT_GBRAP16LE ? 4 : 1;
    if (!yuv && format != AV_PIX_FMT_GRAY8 && format != AV_PIX_FMT_GRAY16LE && picture.channels != 4) {
        const char* name = av_get_pix_fmt_name(format);
        throw ToolError(path + ": frame " + std::to_string(place + 1) + " has pixels of " +
                        (name != nullptr ? name : "an unknown format") +
                        ", which deepglass does not write (gray, gray16le, bgra, gbrap16le or yuv420p)");
    }
    // Studio range puts the levels 0 to 255 on 16 to 235; the tool's own files are full range.
    const bool studio = yuv && format != AV_PIX_FMT_YUVJ420P && frame.color_range != AVCOL_RANGE_JPEG;
    const std::size_t width = static_cast<std::size_t>(frame.width);
    const std::size_t bytes = picture.bits == 8 ? 1 : 2;
    picture.stored.resize(width * static_cast<std::size_t>(frame.height) *
                          static_cast<std::size_t>(picture.channels) * bytes);
    // Samples as stored: a byte each, or two in the machine's order.
    std::uint8_t* out = picture.stored.data();
    const auto put = [&](std::uint16_t sample) {
        if (bytes == 1) {
            *out++ = static_cast<std::uint8_t>(sample);
        } else {
            std::memcpy(out, &sample, 2);
            out += 2;
        }
    };
    const auto sample16 = [](const std::uint8_t* at) {
        return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
    };
    for (int y = 0; y < frame.height; ++y) {
        const auto line = [&](int plane) {
            return frame.data[plane] + std::ptrdiff_t{y} * frame.linesize[plane];
        };
        for (std::size_t x = 0; x < width; ++x) {
            switch (format) {
            case AV_PIX_FMT_GRAY16LE: put(sample16(line(0) + 2 * x)); break;
            case AV_PIX_FMT_GBRAP16LE:
                for (int plane : {2, 0, 1, 3}) put(sample16(line(plane) + 2 * x));
                break;
            case AV_PIX_FMT_BGRA:
                for (int c : {2, 1, 0, 3}) put(line(0)[4 * x + static_cast<std::size_t>(c)]);
                break;
            default: {
                const int level = line(0)[x];
                put(static_cast<std::uint16_t>(
                    studio ? std::clamp(((level - 16) * 255 + 219 / 2) / 219, 0, 255) : level));
            }
            }
        }
    }
    return picture;
}

std::string Lowered(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

VideoFacts ReadFacts(const std::string& path, std::uint64_t budget)
{
    Demuxer video(path, budget);
    const AVStream& stream = *video.container->streams[video.stream];
    VideoFacts facts;
    facts.codec = stream.codecpar->codec_id == AV_CODEC_ID_H264 ? VideoCodec::H264 : VideoCodec::FFV1;
    const char* pixels = av_get_pix_fmt_name(static_cast<AVPixelFormat>(stream.codecpar->format));
    facts.pixelFormat = pixels != nullptr ? pixels : "unknown";
    const auto format = static_cast<AVPixelFormat>(stream.codecpar->format);
    facts.bits = LevelBits(format);
    facts.width = stream.codecpar->width;
    facts.height = stream.codecpar->height;
    const AVRational rate = stream.avg_frame_rate.num > 0 ? stream.avg_frame_rate : stream.r_frame_rate;
    facts.rate = {rate.num, rate.den};
    for (const AVDictionaryEntry* tag = nullptr;
         (tag = av_dict_get(video.container->metadata, "", tag, AV_DICT_IGNORE_SUFFIX)) != nullptr;) {
        const std::string key = Lowered(tag->key);
        if (key == "timecode")
            facts.timeCode = tag->value;
        else
            facts.tags.emplace_back(key, tag->value);
    }
    if (facts.timeCode.empty())
        if (const AVDictionaryEntry* tag = av_dict_get(stream.metadata, "timecode", nullptr, 0))
            facts.timeCode = tag->value;
    while (video.NextPacket(facts.frames + 1)) ++facts.frames;
    return facts;
}

void ReadFrames(const std::string& path, std::uint64_t budget, const VideoFrameTaker& take)
{
    Demuxer video(path, budget);
    std::size_t read = 0;    // packets handed to the decoder
    std::size_t decoded = 0; // frames it gave back
    const auto drain = [&] {
        for (;;) {
            const int result = avcodec_receive_frame(video.codec, video.frame);
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return;
            video.Check(result, "frame " + std::to_string(decoded + 1) + " cannot be decoded");
            if (video.frame->decode_error_flags != 0 || (video.frame->flags & AV_FRAME_FLAG_CORRUPT))
                throw ToolError(path + ": frame " + std::to_string(decoded + 1) + " is damaged");
            take(decoded, LevelsOf(*video.frame, path, decoded));
            ++decoded;
            av_frame_unref(video.frame);
        }
    };
    bool more = true;
    while (more) {
        more = video.NextPacket(read + 1);
        if (more) ++read;
        video.Check(avcodec_send_packet(video.codec, more ? video.packet : nullptr),
                    "frame " + std::to_string(decoded + 1) + " cannot be decoded");
        drain();
    }
    if (decoded != read)
        throw ToolError(path + ": " + std::to_string(read) + " frames stored, but " +
                        std::to_string(decoded) + " decoded");
}

} // namespace deepglass::ffmpeg
