// A deep part of an open EXR file read the way OpenEXR's deep API reads it, sample counts first,
// then the samples, a band of rows at a time, each band flattened (DeepPlan) before the next is
// decoded: no more than a band's samples are held at once.
#pragma once

#include <ImfForward.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "exr/exr_file.h"
#include "image/deep_flatten.h"

namespace deepglass {

class DeepPartReader {
public:
    // Reads the sample counts of part `part` (described by `frame`, the part's layout); an
    // ExrReadFailure naming the size they claim when its samples would take more than `budget`
    // bytes as the reader holds them (0: no budget), or more than a file of `fileBytes` could hold.
    DeepPartReader(Imf::MultiPartInputFile& file, int part, const ExrFrame& frame, std::uint64_t budget,
                   std::uint64_t fileBytes);
    ~DeepPartReader();
    DeepPartReader(const DeepPartReader&) = delete;
    DeepPartReader& operator=(const DeepPartReader&) = delete;

    const DeepCounts& Counts() const { return counts; }

    // Decodes rows `top` to `bottom` a band at a time and flattens their channels `wanted` (indices
    // into the frame's channels), handing each row of each to `row`: k its place in `wanted`, the
    // samples over the data window's width. `scratch` keeps its memory for the next call.
    using RowSink = std::function<void(std::size_t k, int y, const std::uint32_t* samples)>;
    void ReadRows(int top, int bottom, const std::vector<int>& wanted, std::vector<std::uint32_t>& scratch,
                  const RowSink& row);

private:
    struct Parts;

    // Decodes the band starting at row `y0` (the part's first row plus a whole number of bands)
    // and flattens it: channel k's row r goes to out + k * stride + r * width. Answers its last row.
    int ReadBand(int y0, const std::vector<int>& wanted, std::uint32_t* out, std::size_t stride);

    const ExrFrame& frame;
    std::unique_ptr<Parts> parts;
    DeepPlan plan;
    int bandRows = 0; // rows decoded at a time: a row of tiles of a tiled part
    DeepCounts counts;
    std::vector<std::uint32_t> sampleCounts; // every pixel of the data window's
    std::vector<std::uint32_t> samples;      // one band's, channel after channel
    std::vector<std::uint32_t*> pointers;    // each pixel's first sample, channel after channel
    DeepPlan::Scratch pixelScratch;
};

} // namespace deepglass
