// Where a filtered view goes: each kind of output renders the view's frame through the filter and
// writes what came back, so that the views of a frame take the same steps whatever is written.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "base/frame_memory.h"
#include "depth/depth_mapping.h"
#include "exr/exr_file.h"
#include "exr/sample_source.h"
#include "frame/view_frame.h"
#include "memory_storage.h"
#include "module/filter_runner.h"
#include "output/output_writer.h"
#include "output/video_output.h"
#include "png/png_format.h"

namespace deepglass {

class ViewWriter {
public:
    virtual ~ViewWriter() = default;
    // Whether the frame handed to the filter carries the view's colour; without it only alpha is
    // loaded, for the background rules, and the writer needs only what the filter rewrote.
    virtual bool TakesColour() const = 0;
    // Holds the view to `budget` bytes (0: none) before anything is loaded for it: adds what the
    // output takes to `shape` (what loading it takes, LoadShapeOf), refuses with a ToolError a view
    // whose route takes more, and answers what the read's strip and decoding threads may take
    // within the budget (see ReadScratch; 0: no limit).
    virtual std::uint64_t Admit(FrameShape shape, const ReadMemory& read, const ViewFrame& made,
                                std::uint64_t budget) = 0;
    // Renders the view's frame, in `storage`, and writes what came back to `path` with `mapping`
    // (the writer says where its greys are held), adding the warnings the output calls for; a
    // ToolError when it cannot be written.
    virtual void Write(FilterRunner& filter, MemoryStorage& storage, const ViewFrame& made,
                       const std::string& path, DepthMapping mapping, std::vector<std::string>& warnings) = 0;

    // The writer of a view that goes to the filter in strips, rows handed over a band at a time;
    // none: the view is handed whole.
    virtual class PngViewWriter* InStrips() { return nullptr; }
};

// A PNG picture of the display window. The filter leaves every pixel it does not select as it was
// handed over, so the frame's own colour goes in and the picture comes out whole.
class PngViewWriter final : public ViewWriter {
public:
    // A picture is encoded on up to `threads` threads, as many as its budget holds.
    PngViewWriter(bool opaque, const PngFormat& format, int threads)
        : opaque(opaque), format(format), threads(threads)
    {
    }
    bool TakesColour() const override { return true; }
    std::uint64_t Admit(FrameShape shape, const ReadMemory& read, const ViewFrame& made,
                        std::uint64_t budget) override;
    void Write(FilterRunner& filter, MemoryStorage& storage, const ViewFrame& made, const std::string& path,
               DepthMapping mapping, std::vector<std::string>& warnings) override;

    PngViewWriter* InStrips() override { return this; }
    // The rows a picture of the view's display window is written in at once, and where its segments
    // start among the frame's rows (see StripFilters).
    int BandRows(const ViewFrame& made) const;
    int SegmentRows(const ViewFrame& made) const;
    // Admit for the view in strips (FrameRoute::STRIPS), `shape` holding a band's load (bandRows
    // set): the threads of the picture are the filters the budget holds, one at least.
    std::uint64_t AdmitStrips(FrameShape shape, const ReadMemory& read, const ViewFrame& made,
                              std::uint64_t budget);
    // The threads AdmitStrips found room for.
    int Threads() const { return encoders; }
    // Writes the picture of the view as `bands` give its rows.
    void WriteBands(const FilteredBands& bands, const ViewFrame& made, const std::string& path,
                    DepthMapping mapping, std::vector<std::string>& warnings);

private:
    void PictureShape(FrameShape& shape, const ViewFrame& made, std::uint64_t budget) const;
    DepthMapping Mapped(DepthMapping mapping) const;

    bool opaque;
    PngFormat format;
    int threads;
    int encoders = 1; // of the threads, those the view's budget holds
};

// The input file with the view's rewritten pixels stored into its colour channels: the pixels
// the filter rewrote are told apart from those it kept, so that the kept ones stay bit for bit.
// Its view goes to the filter whole: the file is read whole and written whole around it, so strips
// would spare only the host's frame and the module's copy of it beside a file held whole anyway.
class ExrViewWriter final : public ViewWriter {
public:
    // `file` is the input read whole, `views` the number of views to be written from it: each but
    // the last is written from a copy, so that the next starts from the file as read.
    ExrViewWriter(ExrFile& file, std::size_t views) : file(file), views(views), viewsLeft(views) {}
    bool TakesColour() const override { return false; }
    std::uint64_t Admit(FrameShape shape, const ReadMemory& read, const ViewFrame& made,
                        std::uint64_t budget) override;
    void Write(FilterRunner& filter, MemoryStorage& storage, const ViewFrame& made, const std::string& path,
               DepthMapping mapping, std::vector<std::string>& warnings) override;

private:
    ExrFile& file;
    std::size_t views;
    std::size_t viewsLeft;
};

// The picture a PNG would hold, handed to the shot's video at the frame's place in the run.
class VideoViewWriter final : public ViewWriter {
public:
    VideoViewWriter(ShotVideo& video, std::size_t place, bool opaque)
        : video(video), place(place), opaque(opaque)
    {
    }
    bool TakesColour() const override { return true; }
    std::uint64_t Admit(FrameShape shape, const ReadMemory& read, const ViewFrame& made,
                        std::uint64_t budget) override;
    void Write(FilterRunner& filter, MemoryStorage& storage, const ViewFrame& made, const std::string& path,
               DepthMapping mapping, std::vector<std::string>& warnings) override;

private:
    ShotVideo& video;
    std::size_t place;
    bool opaque;
};

} // namespace deepglass
