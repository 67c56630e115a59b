// The video library's one export: its table.
#include "video/ffmpeg_video.h"

extern "C" __attribute__((visibility("default"))) const deepglass::VideoLibrary* deepglass_video_library()
{
    static const deepglass::VideoLibrary table{
        deepglass::VIDEO_LIBRARY_VERSION, deepglass::ffmpeg::StartWriting, deepglass::ffmpeg::TimeCodeText,
        deepglass::ffmpeg::ReadFacts, deepglass::ffmpeg::ReadFrames};
    return &table;
}
