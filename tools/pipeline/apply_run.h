// What every frame of an `apply` run shares, worked out once before the first frame is read, and
// the workers that filter the frames.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/machine.h"
#include "depth/depth_scale.h"
#include "exr/exr_layout.h"
#include "frame/storage_frame.h"
#include "memory_storage.h"
#include "module/filter_record.h"
#include "module/filter_runner.h"
#include "output/video_output.h"
#include "png/png_format.h"
#include "settings/run_settings.h"
#include "shot/input_files.h"

namespace deepglass {

struct ApplyRun {
    const ApplyOptions& options;
    InputFiles inputs;               // never written over
    std::uint32_t channels = 0;      // the channels the configured filter asks for
    FilterSettings settings;         // the configured filter's mode and IDs, read back from its record
    ExrReadLimits limits;            // every read of an input: one worker's share of the memory budget
    std::optional<DepthScale> scale; // the one grey scale of every frame, when there is one
    PngFormat png;                   // how PNG pictures are stored
    const DisplayColour* display =
        nullptr;                // kept colour's transform in the ID modes' PNG route; none: as stored
    int frameThreads = 1;       // the threads one frame's decoding and encoding may take (ParallelFor)
    std::string module;         // the module's description, as every output's depth mapping names it
    ShotVideo* video = nullptr; // the video every frame goes into; none: pictures
};

// A frame's depths held while it goes to the filter in strips, kept by a worker from one frame of
// the same size to the next.
struct HeldDepths {
    HeldFloats values;
    std::size_t size = 0;
};

// One thread of a frame in strips: its filter and the storages of the strips it renders, one for
// each height it met.
struct StripLane {
    FilterRunner* filter = nullptr;
    std::vector<std::unique_ptr<MemoryStorage>> storages;
};

// One worker of a run: its own filter, and the memory it keeps from one frame to the next; the
// filters its frames' strips go to, one for each of the frame's threads (the first is `filter`).
struct Worker {
    FilterRunner* filter = nullptr;
    FrameBuffers buffers;
    std::vector<std::unique_ptr<FilterRunner>> twins;
    std::vector<StripLane> lanes;
    HeldDepths depths;
};

} // namespace deepglass
