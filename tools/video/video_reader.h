// Reading a video back (FFmpeg's libraries, in the video library): what it holds (codec, pixels, size, rate,
// frames, metadata) and each frame's levels. Only what the tool writes is taken: FFV1 or H.264 in
// Matroska or MP4, from a file; anything else is refused with the file named.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "png/png_reader.h"
#include "video/video_format.h"
#include "video/video_library.h"

namespace deepglass {

struct VideoFacts {
    VideoCodec codec = VideoCodec::FFV1;
    std::string pixelFormat; // FFmpeg's name, such as gray16le
    int bits = 8;            // of the levels its frames are handed over in
    int width = 0;
    int height = 0;
    VideoRate rate;
    std::size_t frames = 0; // as many as the file holds, counted
    std::string timeCode;   // "" when it has none
    // The container's metadata, keys in lower case (Matroska spells its tag names in capitals).
    std::vector<std::pair<std::string, std::string>> tags;
};

// What the video at `path` holds, its frames counted without decoding them; a ToolError naming the
// file when it is no video the tool reads, or a frame's data is cut short. A frame's picture may
// take up to `budget` bytes (0: no budget).
VideoFacts ReadVideoFacts(const std::string& path, std::uint64_t budget);

// Decodes the frames in order and hands each to `take` as levels: grey or RGBA of 8 or 16 bits as
// stored, H.264's luma as 8-bit grey (from studio range where the stream says so). `text` is left
// empty. A ToolError naming the file and the frame when one cannot be decoded or is larger than
// `budget` allows.
void ReadVideoFrames(const std::string& path, std::uint64_t budget, const VideoFrameTaker& take);

} // namespace deepglass
