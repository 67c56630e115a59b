#include "video/video_encoder.h"

namespace deepglass {

VideoEncoder::VideoEncoder(const std::string& path, const std::string& name, const VideoFormat& format)
    : writing(LoadedVideoLibrary().startWriting(path, name, format))
{
}

VideoEncoder::~VideoEncoder() = default;

void VideoEncoder::Add(const VideoRow& row) { writing->Add(row); }

void VideoEncoder::Finish() { writing->Finish(); }

std::string TimeCodeText(int hours, int minutes, int seconds, int frame, bool dropFrame,
                         const VideoRate& rate)
{
    return LoadedVideoLibrary().timeCodeText(hours, minutes, seconds, frame, dropFrame, rate);
}

} // namespace deepglass
