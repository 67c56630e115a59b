// Reading chosen channels of an EXR file a strip of rows at a time: no whole-frame copy of a
// channel is ever held.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "files/exr_file.h"
#include "files/exr_layout.h"
#include "files/sample_source.h"

class ExrStripReader : public SampleSource {
public:
    // Opens `path` and reads its headers, holding the file to `limits`; a ToolError naming the file
    // when either fails.
    explicit ExrStripReader(const std::string& path, const ExrReadLimits& limits = {});
    ~ExrStripReader();
    ExrStripReader(const ExrStripReader&) = delete;
    ExrStripReader& operator=(const ExrStripReader&) = delete;

    // Every part and every channel's view, without samples.
    const ExrFile& Layout() const override { return layout; }
    // Something the reader skips that the user may want to know (a mip-mapped part's lower levels).
    const std::string& Note() const { return note; }

    // Decodes the channels from the file; see SampleSource.
    void Read(const std::vector<ViewChannel>& channels, const PixelBox& window,
              std::vector<std::uint32_t>& scratch, const RowSink& sink) override;

private:
    struct Open;

    std::string path;
    std::unique_ptr<Open> open;
    std::uint64_t budget = 0;    // the samples one frame may take; 0: no limit
    std::uint64_t fileBytes = 0; // which a deep part's sample counts cannot claim far beyond
    ExrFile layout;
    std::string note;
};
