// The video library's own functions, which its table hands the tool (video_library.h): videos
// written and read through FFmpeg's libraries. Only the library's files include this.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "video/video_library.h"
#include "video/video_reader.h"

namespace deepglass::ffmpeg {

std::unique_ptr<VideoWriting> StartWriting(const std::string& path, const std::string& name,
                                           const VideoFormat& format);
std::string TimeCodeText(int hours, int minutes, int seconds, int frame, bool dropFrame,
                         const VideoRate& rate);
VideoFacts ReadFacts(const std::string& path, std::uint64_t budget);
void ReadFrames(const std::string& path, std::uint64_t budget, const VideoFrameTaker& take);

} // namespace deepglass::ffmpeg
