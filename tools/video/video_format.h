// How a video of depth pictures is stored: FFV1 in Matroska, lossless, with the pictures' own levels
// (one grey channel or RGBA, 8 or 16 bits); or H.264 in MP4, 8-bit 4:2:0, the grey in full-range
// luma with neutral chroma, which players, browsers and editors read.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace deepglass {

enum class VideoCodec { FFV1, H264 };

// Frames a second as a ratio, such as 24/1 or 24000/1001.
struct VideoRate {
    int numerator = 24;
    int denominator = 1;
    std::string Text() const
    {
        return denominator == 1 ? std::to_string(numerator)
                                : std::to_string(numerator) + "/" + std::to_string(denominator);
    }
};

// The rates a video may have: from 1 frame in 1000 seconds to 1000 frames a second, numerator and
// denominator up to a million, which every muxer and player takes.
constexpr int VIDEO_RATE_TERM_MAX = 1000000;
constexpr double VIDEO_RATE_MIN = 0.001;
constexpr double VIDEO_RATE_MAX = 1000.0;
inline bool RateTaken(const VideoRate& rate)
{
    if (rate.numerator < 1 || rate.denominator < 1 || rate.numerator > VIDEO_RATE_TERM_MAX ||
        rate.denominator > VIDEO_RATE_TERM_MAX)
        return false;
    const double perSecond = static_cast<double>(rate.numerator) / rate.denominator;
    return perSecond >= VIDEO_RATE_MIN && perSecond <= VIDEO_RATE_MAX;
}

// H.264's constant rate factor (0 lossless, which few decoders take, to 51). The default keeps the
// sample shot's greys above 45 dB PSNR against its 8-bit pictures (README, "Depth as video").
constexpr int VIDEO_QUALITY_DEFAULT = 8;
constexpr int VIDEO_QUALITY_MIN = 1;
constexpr int VIDEO_QUALITY_MAX = 51;

struct VideoFormat {
    VideoCodec codec = VideoCodec::FFV1;
    bool rgba = false; // four channels (FFV1 only), else one grey channel
    int bits = 16;     // 8 or 16 (H.264: 8)
    int width = 0;
    int height = 0;
    VideoRate rate;
    int quality = VIDEO_QUALITY_DEFAULT;                   // H.264's CRF
    std::string timeCode;                                  // "HH:MM:SS:FF" (";FF" drop-frame); "": none
    std::vector<std::pair<std::string, std::string>> tags; // the container's metadata, in order
    int threads = 1;                                       // the encoder's own threads
};

} // namespace deepglass
