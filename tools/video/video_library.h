// The video library, deepglass-video.so: the one part of the tool that links FFmpeg's libraries,
// loaded the first time a video is written or read. FFmpeg and the codecs it pulls in are about 110
// shared libraries; loaded with every run they would add some 20 MB and tens of milliseconds to
// each picture that has nothing to do with video.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "png/png_reader.h"
#include "video/video_format.h"

namespace deepglass {

struct VideoFacts;

// Row y of a picture: its levels (0 to 2^bits - 1), one or four (R, G, B, A) a pixel, written into
// `levels`, which holds a row's worth.
using VideoRow = std::function<void(int y, std::uint16_t* levels)>;
using VideoFrameTaker = std::function<void(std::size_t place, const PngPicture& picture)>;

// A video being written: frames one at a time, in order, then its end.
class VideoWriting {
public:
    virtual ~VideoWriting() = default;
    virtual void Add(const VideoRow& row) = 0;
    virtual void Finish() = 0;
};

// What the library hands the tool, as video_encoder.h and video_reader.h describe each. The tool
// and the library are built together, so the table holds C++ types; a library of another build
// is refused by its `version`.
struct VideoLibrary {
    int version;
    std::unique_ptr<VideoWriting> (*startWriting)(const std::string& path, const std::string& name,
                                                  const VideoFormat& format);
    std::string (*timeCodeText)(int hours, int minutes, int seconds, int frame, bool dropFrame,
                                const VideoRate& rate);
    VideoFacts (*readFacts)(const std::string& path, std::uint64_t budget);
    void (*readFrames)(const std::string& path, std::uint64_t budget, const VideoFrameTaker& take);
};

// The library's file: beside the file that loads it (the tool in a build folder, the Python
// extension in its package or the Blender add-on), else in the module's folder of an installation.
constexpr const char* VIDEO_LIBRARY_FILE_NAME = "deepglass-video.so";
// The one function it exports (extern "C"), answering its table.
constexpr const char* VIDEO_LIBRARY_ENTRY_NAME = "deepglass_video_library";
// Raised whenever the table changes.
constexpr int VIDEO_LIBRARY_VERSION = 1;

// The library's table, loaded on the first call (and kept for the process); a ToolError saying
// what is missing when it cannot be loaded.
const VideoLibrary& LoadedVideoLibrary();

} // namespace deepglass
