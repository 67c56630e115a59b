// A run into one video: the video made for the shot's frames, the records of frames it left
// unfiltered or skipped as a whole, and its end, which fails the frames that went into it when it
// cannot be written.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "output/video_output.h"
#include "png/png_format.h"
#include "settings/run_settings.h"
#include "shot/shot_plan.h"
#include "shot/shot_report.h"

namespace deepglass {

// The video every frame of the run goes into, of the pictures' channels and bits, its encoder held
// to `encoderBudget` bytes (0: none). It records the shot's frame numbers where every frame has one and they
// rise, else their places in the run from 1.
std::unique_ptr<ShotVideo> MakeShotVideo(const ApplyOptions& options, const PngFormat& png,
                                         const std::vector<ShotFrame>& plan, std::uint64_t encoderBudget);

// The record of a frame left unfiltered, as the video it was for failed already.
FrameRecord NotFiltered(const ShotFrame& shot, const std::string& failure);

// The video finished and renamed into place; where it cannot be, or a frame failed it, the error
// shown and the frames that went into it are failed too.
void FinishVideo(ShotVideo& video, std::vector<FrameRecord>& records, std::FILE* errors);

// The records of a run whose video at `path` exists: every frame skipped, as the video is whole;
// temporaries of it that dead writers left are removed, with a note.
std::vector<FrameRecord> SkipVideo(const std::vector<ShotFrame>& plan, const std::string& path,
                                   std::FILE* out, std::FILE* errors);

} // namespace deepglass
