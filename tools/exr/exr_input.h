// An EXR input opened once, its headers read and held to its limits: chosen channels read a strip
// of rows at a time (no whole-frame copy of a channel is held), or every sample read whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "exr/exr_file.h"
#include "exr/exr_layout.h"
#include "exr/sample_source.h"

namespace deepglass {

class ExrInput : public SampleSource {
public:
    // Opens `path` and reads its headers, holding the file to `limits`; a ToolError naming the file
    // when either fails. The chunks the tool decodes itself (see DecodesOwnChunks) are decoded on
    // up to `threads` threads; the samples do not depend on how many.
    explicit ExrInput(const std::string& path, const ExrReadLimits& limits = {}, int threads = 1);
    ~ExrInput();
    ExrInput(const ExrInput&) = delete;
    ExrInput& operator=(const ExrInput&) = delete;

    // Every part and every channel's view, without samples.
    const ExrFile& Layout() const override { return layout; }
    const std::string& Path() const { return path; }
    // Something the reader skips that the user may want to know (a mip-mapped part's lower levels).
    const std::string& Note() const { return note; }

    // Decodes the channels from the file; see SampleSource.
    void Read(const std::vector<ViewChannel>& channels, const PixelBox& window, ReadScratch& scratch,
              const RowSink& sink) override;
    void ReadLumaChroma(const PixelBox& window, ReadScratch& scratch, const RowSink& sink) override;
    ReadMemory MemoryOfRead(const std::vector<ViewChannel>& channels, const PixelBox& window,
                            bool lumaChroma) const override;
    // Every part with every sample, read from the file as it stands open; a ToolError naming the
    // file when that fails.
    ExrFile ReadWhole();

private:
    struct Open;

    // Decodes the subsampled channels of `taken` (indices into `channels`, all of flat part
    // `part`) and hands them over; they leave `taken`.
    void ReadSubsampled(int part, const std::vector<ViewChannel>& channels, std::vector<std::size_t>& taken,
                        const PixelBox& window, const RowSink& sink);
    // Decodes the channels of `taken` (indices into `channels`, none subsampled, all of flat part
    // `part`) over the window and hands them over: the tool decodes the chunks it can itself (see
    // DecodesOwnChunks), OpenEXR the others, a strip of rows at a time.
    void ReadFlat(int part, const std::vector<ViewChannel>& channels, const std::vector<std::size_t>& taken,
                  const PixelBox& window, ReadScratch& scratch, const RowSink& sink);

    std::string path;
    std::unique_ptr<Open> open;
    ExrReadLimits limits;
    int threads = 1;
    std::uint64_t fileBytes = 0; // which a deep part's sample counts cannot claim far beyond
    int exrThreads = 0;          // OpenEXR's own, as the file was opened with
    ExrFile layout;
    std::string note;
};

} // namespace deepglass
