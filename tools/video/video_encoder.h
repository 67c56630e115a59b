// Writing a video: the container and codec of a VideoFormat, its metadata and time code in the
// header, then the frames one at a time, in order (FFmpeg's libraries, in the video library).
#pragma once

#include <memory>
#include <string>

#include "video/video_format.h"
#include "video/video_library.h"

namespace deepglass {

class VideoEncoder {
public:
    // Creates `path` and writes the container's header; a ToolError naming `name` (the file's
    // final name) when that fails or `format` cannot be encoded.
    VideoEncoder(const std::string& path, const std::string& name, const VideoFormat& format);
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    // Encodes the next frame, whose rows `row` gives; a ToolError when that fails.
    void Add(const VideoRow& row);
    // Encodes what the codec still holds, writes the container's index and closes the file.
    void Finish();

private:
    std::unique_ptr<VideoWriting> writing;
};

// "HH:MM:SS:FF" (";FF" where `dropFrame`), the time code the container takes, when it is one
// at `rate`; "" otherwise.
std::string TimeCodeText(int hours, int minutes, int seconds, int frame, bool dropFrame,
                         const VideoRate& rate);

} // namespace deepglass
