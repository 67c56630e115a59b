// A video of a shot's pictures: its frames are filtered in parallel and handed over as each
// finishes, and each waits for those before it to be encoded, so that the video holds them in the
// run's order while only the frames in flight are held. The file appears whole under its name, or
// not at all: a frame that fails fails the video.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bitmap.h"
#include "exr/exr_frame.h"
#include "output/atomic_output.h"
#include "output/header_text.h"
#include "video/video_encoder.h"

namespace deepglass {

class ShotVideo {
public:
    // A video at `path` of `format`'s codec, channels and bits; the first frame gives its size,
    // its rate where `rate` is none (the frame's framesPerSecond, else 24) and its time code.
    // `tags` go into the container after the first frame's depth mapping. The encoder is held to
    // `encoderBudget` bytes (0: none), checked against the first picture's size before it is made.
    ShotVideo(std::string path, const VideoFormat& format, std::optional<VideoRate> rate,
              std::vector<std::pair<std::string, std::string>> tags, std::uint64_t encoderBudget);
    ~ShotVideo();

    const VideoFormat& Format() const { return format; }
    // The picture at `place` in the run (from 0): `frame`'s display window of the filter's
    // `colour`, as a PNG of the same format holds it, encoded once every frame before it has been;
    // the call waits until then. `mapping`, the texts of its depth mapping, must be the first
    // frame's, as a video holds one. A ToolError when the video failed at an earlier frame, or this
    // one cannot be encoded, which fails the video.
    void Add(std::size_t place, const ExrFrame& frame, const BMM_Color_64* colour, bool opaque,
             const std::vector<HeaderText>& mapping, std::vector<std::string>& warnings);
    // Frame `place` is done with: where it was not added, the video fails with `reason`.
    void Settle(std::size_t place, const std::string& reason);
    // Why the video failed; none while it has not.
    std::optional<std::string> Failure() const;
    // Once every frame is settled: the codec's last frames and the container's index written, the
    // file synced and renamed into place. A ToolError naming the file when the video failed or
    // cannot be finished.
    void Finish();

private:
    void Start(const ExrFrame& frame, int width, int height, const std::vector<HeaderText>& mapping,
               std::vector<std::string>& warnings);

    std::string path;
    VideoFormat format;
    std::optional<VideoRate> rate;
    std::vector<std::pair<std::string, std::string>> tags;
    std::uint64_t encoderBudget;
    std::vector<HeaderText> mapping; // the first frame's
    AtomicOutput output;
    std::unique_ptr<VideoEncoder> encoder;

    mutable std::mutex lock;
    std::condition_variable turn;
    std::size_t next = 0; // the place whose picture is encoded next
    std::optional<std::string> failure;
};

} // namespace deepglass
