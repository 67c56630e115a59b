// Reading chosen channels of an EXR file a strip of rows at a time, for a caller that converts the
// samples into buffers of its own as they arrive: no whole-frame copy of a channel is ever held.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "files/exr_file.h"
#include "files/exr_layout.h"

class ExrStripReader {
public:
    // Opens `path` and reads its headers, holding the file to `limits`; a ToolError naming the file
    // when either fails.
    explicit ExrStripReader(const std::string& path, const ExrReadLimits& limits = {});
    ~ExrStripReader();
    ExrStripReader(const ExrStripReader&) = delete;
    ExrStripReader& operator=(const ExrStripReader&) = delete;

    // Every part and every channel's view, without samples.
    const ExrFile& Layout() const { return layout; }
    // Something the reader skips that the user may want to know (a mip-mapped part's lower levels).
    const std::string& Note() const { return note; }

    // Gets `count` samples of channel `channel` (an index into the channels read) for the pixels
    // from (`column`, `row`) on, both counted from the window's corner, held as FrameChannel holds
    // them: UINT as it is, HALF and FLOAT as a float's bits.
    using RowSink = std::function<void(std::size_t channel, int row, int column, int count,
                                       const std::uint32_t* samples)>;

    // Decodes `channels` over `window`, each placed by pixel coordinates from its own part; pixels
    // of the window that a channel's part does not cover are not handed over. `scratch` holds a strip
    // of decoded rows and keeps its memory for the next call. A ToolError naming the file for a
    // subsampled channel or a damaged or incomplete part; one the sink throws passes unchanged.
    void Read(const std::vector<ViewChannel>& channels, const PixelBox& window,
              std::vector<std::uint32_t>& scratch, const RowSink& sink);

private:
    struct Open;

    std::string path;
    std::unique_ptr<Open> open;
    ExrFile layout;
    std::string note;
};
