#include "shot_video/shot_video.h"

#include "base/machine.h"
#include "base/tool_error.h"
#include "depth/depth_mapping.h"
#include "output/atomic_output.h"

namespace deepglass {

namespace {

// The frame numbers a video records: the shot's own where every frame has one and they rise,
// else their places in the run from 1.
std::vector<int> VideoFrameNumbers(const std::vector<ShotFrame>& plan)
{
    std::vector<int> numbers;
    for (const ShotFrame& shot : plan) {
        if (!shot.number || (!numbers.empty() && *shot.number <= numbers.back())) {
            numbers.resize(plan.size());
            for (std::size_t place = 0; place < plan.size(); ++place)
                numbers[place] = static_cast<int>(place + 1);
            return numbers;
        }
        numbers.push_back(*shot.number);
    }
    return numbers;
}

} // namespace

std::unique_ptr<ShotVideo> MakeShotVideo(const ApplyOptions& options, const PngFormat& png,
                                         const std::vector<ShotFrame>& plan, std::uint64_t encoderBudget)
{
    VideoFormat format;
    format.codec = options.output.format == OutputFormat::MP4 ? VideoCodec::H264 : VideoCodec::FFV1;
    format.rgba = png.kind == PngKind::RGBA;
    format.bits = png.bits;
    format.quality = options.videoQuality.value_or(VIDEO_QUALITY_DEFAULT);
    format.threads = static_cast<int>(Cores());
    return std::make_unique<ShotVideo>(options.output.path, format, options.fps,
                                       VideoFrameTexts(VideoFrameNumbers(plan)), encoderBudget);
}

FrameRecord NotFiltered(const ShotFrame& shot, const std::string& failure)
{
    FrameRecord record;
    record.input = shot.input;
    record.planned = shot.output;
    record.number = shot.number;
    record.message = "not filtered, as " + failure;
    return record;
}

void FinishVideo(ShotVideo& video, std::vector<FrameRecord>& records, std::FILE* errors)
{
    try {
        video.Finish();
    } catch (const ToolError& error) {
        std::fprintf(errors, "error: %s\n", error.what());
        for (FrameRecord& record : records)
            if (record.status == FrameStatus::WRITTEN) {
                record.status = FrameStatus::FAILED;
                record.message = "filtered, but the video was not written";
                record.outputs.clear();
            }
    }
}

std::vector<FrameRecord> SkipVideo(const std::vector<ShotFrame>& plan, const std::string& path,
                                   std::FILE* out, std::FILE* errors)
{
    for (const std::string& removed : RemoveDeadWritersTemporaries(path))
        std::fprintf(errors, "note: removed %s, a temporary file left by a writer that no longer runs\n",
                     removed.c_str());
    std::fprintf(out, "%s: skipped, it exists\n", path.c_str());
    std::vector<FrameRecord> records;
    for (const ShotFrame& shot : plan) {
        FrameRecord& record = records.emplace_back();
        record.input = shot.input;
        record.planned = shot.output;
        record.number = shot.number;
        record.status = FrameStatus::SKIPPED;
        record.message = "its output exists";
        record.outputs = {path};
    }
    return records;
}

} // namespace deepglass
