#include "video/video_reader.h"

#include "video/video_library.h"

namespace deepglass {

VideoFacts ReadVideoFacts(const std::string& path, std::uint64_t budget)
{
    return LoadedVideoLibrary().readFacts(path, budget);
}

void ReadVideoFrames(const std::string& path, std::uint64_t budget, const VideoFrameTaker& take)
{
    LoadedVideoLibrary().readFrames(path, budget, take);
}

} // namespace deepglass
