// Writing a PNG: RGBA, or one grey channel for a picture whose red, green, blue and alpha are
// equal at every pixel; 16 or 8 bits a sample. The tool writes the container itself and deflates
// the filtered rows with libdeflate, segments of rows on a few threads joined into one stream.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bitmap.h"
#include "png/png_format.h"

namespace deepglass {

// Row y of the picture, `width` pixels: a pointer into rows that outlive the write, or into
// `buffer`, the calling thread's own, which the function may size and fill. It is called from up
// to `threads` threads at once, for any row in any order, a row possibly more than once, and must
// give the same pixels each time. What it throws, WritePng throws.
using PngRow = std::function<const BMM_Color_64*(int y, std::vector<BMM_Color_64>& buffer)>;

// The rows a segment of a picture `width` pixels wide holds: the rows deflated apart, on one thread
// each, and joined. A fixed share of the filtered bytes, never depending on the threads.
int PngSegmentRows(int width, const PngFormat& format);

class PngFile;

// A picture written as its rows become ready, top to bottom: the file's chunks before the rows go
// out at once, then each segment of rows as soon as the caller has them, so that only the segments
// in hand are held. The file is the same byte for byte as WritePng's, whatever the threads and
// however the rows are handed over.
class PngStream {
public:
    // A ToolError for a size, depth or level a PNG cannot have, or a text keyword that is none.
    PngStream(const std::string& path, int width, int height, const PngFormat& format, int threads);
    ~PngStream();
    PngStream(const PngStream&) = delete;
    PngStream& operator=(const PngStream&) = delete;

    // The rows of a segment (PngSegmentRows), the unit rows are deflated and written in.
    int SegmentRows() const { return static_cast<int>(segmentRows); }
    int RowsWritten() const;
    // Deflates and writes every whole segment of the rows before `last` (all of them when `last` is
    // the height) not yet written, on up to the stream's threads; `row` is asked for those rows and
    // the one above each segment, as for WritePng.
    void Rows(int last, const PngRow& row);
    // Ends the picture; a ToolError when writing failed or rows were missing.
    void Close();

private:
    struct Encoding;
    std::string path;
    int width;
    int height;
    PngFormat format;
    int threads;
    std::size_t segmentRows = 1;
    std::size_t segments = 0;
    std::size_t written = 0;
    std::uint32_t adler = 1;
    std::unique_ptr<Encoding> encoding;
    std::unique_ptr<PngFile> file;
};

// Writes the picture whose rows `row` gives to `path`; a ToolError when that fails (or when a text
// keyword is not one). Segments of rows are filtered and deflated on up to `threads` threads, each
// holding one segment's rows at a time, and the file is the same byte for byte whatever `threads`.
// A grey picture takes each pixel's red.
void WritePng(const std::string& path, int width, int height, const PngRow& row, const PngFormat& format = {},
              int threads = 1);

} // namespace deepglass
