// Writing what the filter gave back: a PNG of the display window, or an EXR that keeps everything
// the filter did not change.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "bitmap.h"
#include "exr/exr_frame.h"
#include "output/filtered_exr.h"
#include "output/header_text.h"
#include "png/png_format.h"

namespace deepglass {

// The rows of the picture a PNG holds: the display window, the data window's pixels at their
// offset, the rest transparent black; alpha 65535 everywhere when `opaque`. A row is made only when
// asked for, into the asking thread's own buffer, and handed straight from the frame's colour where
// it needs no change; any number of threads may ask at once.
class DisplayRows {
public:
    // Row `row` of the data window, counted from its top, in colour that stays until the row is
    // asked for again by the same thread; asked for by any number of threads at once.
    using DataRow = std::function<const BMM_Color_64*(int row)>;

    // `colour` covers `frame`'s data window and outlives this. A ToolError when the display window
    // is too large for a PNG.
    DisplayRows(const ExrFrame& frame, const BMM_Color_64* colour, bool opaque);
    DisplayRows(const ExrFrame& frame, DataRow colour, bool opaque);

    int Width() const { return static_cast<int>(display.Width()); }
    int Height() const { return static_cast<int>(display.Height()); }
    // Part of the data window lies outside the display window.
    bool Cropped() const;
    // Row y of the picture: in the frame's colour, or made in `buffer` (valid until it changes).
    const BMM_Color_64* Row(int y, std::vector<BMM_Color_64>& buffer) const;
    // The rows of the data window, [first, last) counted from its top, that the picture's rows
    // [first, last) show; first == last where they show none.
    std::pair<int, int> DataRows(int first, int last) const;
    // The picture row that shows data row `row`, counted from their tops (either side of the picture).
    int PictureRow(int row) const { return row + data.minY - display.minY; }

private:
    PixelBox data;
    PixelBox display;
    DataRow colour;
    bool opaque;
};

// A ToolError when the picture of `rows`, `pixelBytes` a pixel, would take more than `budget`
// bytes (0: no budget).
void HoldToBudget(const DisplayRows& rows, std::uint64_t pixelBytes, std::uint64_t budget);

// Writes the picture of the filtered colour of `frame` (covering its data window) to `path` as a
// whole, encoded on up to `threads` threads, adding the warnings the picture calls for; a ToolError
// when it cannot be written.
void WriteFilteredPng(const std::string& path, const ExrFrame& frame, const BMM_Color_64* colour, bool opaque,
                      const PngFormat& format, int threads, std::vector<std::string>& warnings);
// The data window's rows as a picture filtered a band at a time: `ready(first, last)` readies rows
// [first, last) of the data window (counted from its top) for `row` to give them, before the
// picture's segments that show them are written, top to bottom.
struct FilteredBands {
    std::function<void(int first, int last)> ready;
    DisplayRows::DataRow row;
};

// WriteFilteredPng of a frame filtered a band at a time: each band's segments deflated on up to
// `threads` threads and written as they are, the same file byte for byte.
void WriteFilteredPngInBands(const std::string& path, const ExrFrame& frame, const FilteredBands& bands,
                             bool opaque, const PngFormat& format, int threads,
                             std::vector<std::string>& warnings);
// What an output's header says of the view written: the attributes under `prefix`, replacing any
// the input had under it, in the part holding the view's first colour channel.
struct PartTexts {
    std::string prefix;
    std::vector<HeaderText> texts;
};

// Writes `file` as read, with the filtered view's colour where the filter rewrote pixels (see
// StoreFilteredColour) and `said` in its header, to `path` as a whole. With `keep` the colour is
// stored into a copy and `file` stays as read, for another view to be written from; otherwise into
// `file` itself.
void WriteFilteredExr(const std::string& path, ExrFile& file, const FilteredView& filtered, bool keep,
                      const PartTexts& said, std::vector<std::string>& warnings);

} // namespace deepglass
