// A whole EXR file as the tool holds it: every part with its header and samples, and every
// channel's view. A stereo frame may be one part whose `multiView` attribute lists the views
// (the default view's channels unprefixed, the others' as `left.Z` or `layer.left.u`), or
// several parts with a `view` attribute each; channels in no view belong to every view.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "exr/exr_frame.h"

namespace deepglass {

// The samples of a deep part, counted.
struct DeepCounts {
    std::uint64_t total = 0;
    std::uint32_t most = 0;  // in one pixel
    std::uint64_t empty = 0; // pixels without any
};

struct ExrPart {
    std::string name; // the part's name attribute; empty when it has none
    std::string view; // the part's view attribute; empty when it has none
    ExrFrame frame;   // its windows, header and channels under their stored names
    // A deep part, whose channels are read flattened (see DeepPlan), one sample a pixel; its
    // sample counts once they are read.
    bool deep = false;
    DeepCounts deepCounts;
    // A chunk (a tile, or a block of scan lines) of its full level unpacked, as OpenEXR's buffers
    // hold one; 0 for a deep part.
    std::uint64_t chunkBytes = 0;
};

// One channel as a view sees it: `name` without the view, where it is stored.
struct ViewChannel {
    std::string name;
    std::string view; // empty: in no view, shared by all
    int part = 0;
    std::string storedName;
    SampleType type = SampleType::FLOAT;
    int xSampling = 1; // one sample a xSampling x ySampling block of pixels
    int ySampling = 1;

    bool Subsampled() const { return xSampling != 1 || ySampling != 1; }
};

struct ExrFile {
    std::vector<ExrPart> parts;
    std::vector<ViewChannel> channels;  // every channel of every part, in file order
    std::vector<std::string> multiView; // the multiView attribute of a single-part file

    // The views in the file's order; empty for a file of one unnamed view.
    std::vector<std::string> Views() const;
    // The first view the multiView attribute lists, else the view of the first part that has one;
    // empty for a file of one unnamed view.
    std::string DefaultView() const;
    // The channels of `view` and those in no view. A name that an earlier part of the view already
    // has is given as PART.NAME, so that every channel can be named.
    std::vector<ViewChannel> ChannelsOfView(const std::string& view) const;
    // The stored channel behind `channel`, or null.
    const FrameChannel* Stored(const ViewChannel& channel) const;
};

// The views `wanted` names: "" the default view, "all" every view, or one view by name. A
// ToolError naming the views there are when the file has no such view.
std::vector<std::string> SelectViews(const ExrFile& file, const std::string& wanted);

// The named channels of a view as one frame over the data window of the part that holds
// `windowChannel` (its display window and header too), each channel placed by pixel coordinates,
// one sample a pixel (a subsampled channel's samples each cover their block); pixels its own part
// does not cover hold 0. Names missing from the view are left out. A ToolError for a named channel
// that was not read.
ExrFrame GatherFrame(const ExrFile& file, const std::vector<ViewChannel>& view,
                     const std::vector<std::string>& names, const std::string& windowChannel);

// "A (HALF), B (HALF), RY (HALF, 2 x 2), ..." for messages: a subsampled channel with its sampling.
std::string ViewChannelListText(const std::vector<ViewChannel>& channels);

} // namespace deepglass
