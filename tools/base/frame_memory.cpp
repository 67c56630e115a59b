#include "base/frame_memory.h"

#include <algorithm>

#include "base/number_text.h"

namespace deepglass {

namespace {

// The host's frame holds depth as floats.
constexpr std::uint64_t HOST_DEPTH_BYTES = 4;
// Calls beyond a read and a put a row: the channel queries.
constexpr std::uint64_t HOST_CALLS_FIXED = 8;
// The module's working copy of the colour, as the host's colour.
constexpr std::uint64_t MODULE_PIXEL_BYTES = HOST_COLOUR_BYTES;
// Kept colour through a display transform: RGBA as floats, and alpha set aside while an
// OpenColorIO view transforms the rest.
constexpr std::uint64_t DISPLAY_PIXEL_BYTES = 4 * 4 + 4;
// A matte: the rank-0 IDs as read (32 bits), and the ID channel made of them (16 bits) over the
// host's frame.
constexpr std::uint64_t RANK_ZERO_BYTES = 4;
constexpr std::uint64_t MATTE_ID_BYTES = 2;
// The EXR output: colour channels the view lacks are added (four at most, 32 bits a sample), and
// whether the filter rewrote each pixel is kept (a bit).
constexpr std::uint64_t ADDED_COLOUR_BYTES = 4 * HELD_SAMPLE_BYTES;
// A HALF sample written again goes from a copy as a half.
constexpr std::uint64_t HALF_COPY_BYTES = 2;
// info: the ID channels gathered over the frame (two of 32 bits), each pixel's depth kept for a
// chart, and each ID channel counted (its IDs sorted, and each ID with its count, one a pixel at most).
constexpr std::uint64_t INFO_IDS_BYTES = 2 * 4;
constexpr std::uint64_t INFO_DEPTH_BYTES = 4;
constexpr std::uint64_t ID_COUNT_BYTES = 2 * (4 + 16);
// The tallies of --clip's percentile sweeps: two sweeps' counts of 16 bits of a float, 64 bits each.
constexpr std::uint64_t PERCENTILE_TALLY_BYTES = 2 * 2 * (std::uint64_t{1} << 16) * 8;
// libdeflate 1.14's compressors, by level: none at 0, greedy at 1, lazy hashing to 9, near-optimal
// parsing above (measured by tests/cli/frame_memory_test.cpp).
constexpr std::uint64_t DEFLATER_BYTES[] = {8 << 10, 256 << 10, 704 << 10, 9 << 20};
// libpng reading: its structures and its inflater's window, and an ancillary chunk read whole
// (libpng's limit, 8,000,000 bytes; what is beyond the file is never filled).
constexpr std::uint64_t PNG_READER_FIXED = 128 << 10;
constexpr std::uint64_t PNG_CHUNK_BYTES = 8000000;
// OpenEXR holds a chunk it decodes or encodes as stored, unpacked, and in its compressor's workspace.
constexpr std::uint64_t OPENEXR_CHUNK_COPIES = 3;
// libdeflate's bound on what a segment deflates to, with the empty block that joins it to the next.
constexpr std::uint64_t DeflatedBound(std::uint64_t bytes) { return bytes + bytes / 512 + 64; }

// What libpng holds reading a picture of rows of `row` bytes from a file of `fileBytes`: the row it
// works on, the row above and a row made of the passes of an interlaced picture, an ancillary
// chunk, the text kept and a text chunk inflated.
std::uint64_t PngReading(std::uint64_t row, std::uint64_t fileBytes)
{
    return PNG_READER_FIXED + 3 * row + std::min(PNG_CHUNK_BYTES, fileBytes) + 2 * PNG_TEXT_BYTES;
}

// The host's frame: colour, depth and the IDs asked for over its rows and the rows below it, and
// the record of the module's calls on it.
std::uint64_t HostFrame(const FrameShape& shape)
{
    const std::uint64_t rows = shape.height + shape.extraRows;
    const std::uint64_t pixel = HOST_COLOUR_BYTES + HOST_DEPTH_BYTES +
                                (shape.materialIds ? HOST_MATERIAL_ID_BYTES : 0) +
                                (shape.objectIds ? HOST_OBJECT_ID_BYTES : 0);
    return shape.width * rows * pixel + (2 * rows + HOST_CALLS_FIXED) * HOST_CALL_BYTES;
}

// What loading a view takes beside the host's frame: the read, a matte, kept colour as floats.
std::uint64_t Loading(const FrameShape& shape)
{
    const std::uint64_t pixels = shape.width * shape.height;
    const std::uint64_t all = shape.width * (shape.height + shape.extraRows);
    return shape.readBytes + (shape.matte ? pixels * RANK_ZERO_BYTES + all * MATTE_ID_BYTES : 0) +
           (shape.displayColour ? pixels * DISPLAY_PIXEL_BYTES : 0);
}

std::uint64_t Module(const FrameShape& shape)
{
    return shape.width * (shape.height + shape.extraRows) * MODULE_PIXEL_BYTES;
}

// The PNG picture: the deflated segments of every row, held until the file is written (or with
// `streamed` those of a batch), and each encoding thread's own segment.
std::uint64_t Picture(const FrameShape& shape, bool streamed = false)
{
    const std::uint64_t row = shape.pictureWidth * shape.pixelBytes + 1;
    const std::uint64_t filtered = row * shape.pictureHeight;
    const std::uint64_t segmentRows = std::max<std::uint64_t>(1, PNG_SEGMENT_BYTES / row);
    const std::uint64_t segments = (shape.pictureHeight + segmentRows - 1) / segmentRows;
    const std::uint64_t segment = std::min(filtered, segmentRows * row);
    // A thread holds a row of pixels, the row above, the row and a candidate filtered, the
    // segment filtered and deflated, and its deflater.
    const std::uint64_t encoder = shape.pictureWidth * HOST_COLOUR_BYTES + 3 * row + segment +
                                  DeflatedBound(segment) + DeflaterBytes(shape.level);
    const std::uint64_t encoders = std::max<std::uint64_t>(shape.encoders, 1);
    if (streamed) return encoders * (PNG_BATCH_SEGMENTS * (DeflatedBound(segment) + 64) + encoder);
    return DeflatedBound(filtered) + segments * 64 + encoders * encoder;
}

// A frame in strips: its depths held, a band's host frame and loading, and each filter's strip
// with the range below it and the module's working copy of it.
std::uint64_t Strips(const FrameShape& shape)
{
    FrameShape band = shape;
    band.height = std::min(shape.height, shape.bandRows);
    band.extraRows = 0;
    FrameShape strip = shape;
    strip.height = shape.stripRows;
    strip.extraRows = shape.rangeRows;
    return HeldFloatBytes(shape.width * shape.height) + HostFrame(band) + Loading(band) +
           std::max<std::uint64_t>(shape.lanes, 1) * (HostFrame(strip) + Module(strip)) +
           Picture(shape, true) + (shape.percentiles ? PERCENTILE_TALLY_BYTES : 0);
}

} // namespace

std::uint64_t DeflaterBytes(int level)
{
    return DEFLATER_BYTES[level <= 0 ? 0 : level == 1 ? 1 : level <= 9 ? 2 : 3];
}

std::uint64_t HeldFloatBytes(std::uint64_t count)
{
    const std::uint64_t bytes = std::max<std::uint64_t>(count, 1) * sizeof(float);
    return bytes < HUGE_PAGE_BYTES ? bytes
                                   : (bytes + HUGE_PAGE_BYTES - 1) / HUGE_PAGE_BYTES * HUGE_PAGE_BYTES;
}

int StripRowsOf(std::uint64_t width)
{
    return static_cast<int>(
        std::clamp<std::uint64_t>(STRIP_PIXELS / std::max<std::uint64_t>(width, 1), 1, 64));
}

std::uint64_t StripBytes(std::uint64_t width, std::uint64_t rows, std::uint64_t channels)
{
    return width * rows * channels * HELD_SAMPLE_BYTES;
}

std::uint64_t OwnChunkBytes(std::uint64_t chunkBytes) { return 2 * chunkBytes + INFLATER_BYTES; }

std::uint64_t OpenExrBufferBytes(std::uint64_t chunkBytes, int threads)
{
    return static_cast<std::uint64_t>(std::max(1, 2 * threads)) * OPENEXR_CHUNK_COPIES * chunkBytes;
}

std::string FrameMemoryProblem(FrameRoute route, const FrameShape& shape, std::uint64_t budget)
{
    const std::uint64_t bytes = FrameMemory(route, shape);
    if (budget == 0 || bytes <= budget) return {};
    const bool picture = route == FrameRoute::READ_BACK || route == FrameRoute::PICTURE_INFO;
    const char* what = route == FrameRoute::PNG || route == FrameRoute::STRIPS
                           ? "to filter into a PNG picture"
                       : route == FrameRoute::EXR        ? "to read whole and filter into an EXR file"
                       : route == FrameRoute::SCALE_PASS ? "to take the shot's scale over"
                       : route == FrameRoute::INFO       ? "to read whole and describe"
                       : route == FrameRoute::READ_BACK  ? "to read back into depth"
                       : route == FrameRoute::VIDEO      ? "to filter into a video's frame"
                                                         : "to read";
    return std::string(picture ? "a picture of " : "the frame of ") + std::to_string(shape.width) + " x " +
           std::to_string(shape.height) + " pixels takes " + MemoryText(bytes) + " " + what +
           ", more than the " + MemoryText(budget) + " " + (picture ? "one picture" : "one frame") +
           " may take (--max-memory sets the budget)";
}

std::uint64_t FrameMemory(FrameRoute route, const FrameShape& shape)
{
    const std::uint64_t pixels = shape.width * shape.height;
    switch (route) {
    case FrameRoute::PNG: return HostFrame(shape) + Loading(shape) + Module(shape) + Picture(shape);
    case FrameRoute::STRIPS: return Strips(shape);
    case FrameRoute::SCALE_PASS: return HostFrame(shape) + Loading(shape) + PERCENTILE_TALLY_BYTES;
    case FrameRoute::EXR: {
        // The file as read, a copy of it while a view other than the last is written, and what
        // the writer converts and adds.
        const std::uint64_t held = shape.heldSamples * HELD_SAMPLE_BYTES;
        return held * (shape.views > 1 ? 2 : 1) + shape.halfSamples * HALF_COPY_BYTES +
               pixels * ADDED_COLOUR_BYTES + pixels / 8 + 2 * shape.exrBuffers + HostFrame(shape) +
               Loading(shape) + Module(shape);
    }
    case FrameRoute::INFO:
        return shape.heldSamples * HELD_SAMPLE_BYTES + shape.exrBuffers + HostFrame(shape) + Loading(shape) +
               pixels * (INFO_IDS_BYTES + INFO_DEPTH_BYTES + ID_COUNT_BYTES) + PERCENTILE_TALLY_BYTES;
    case FrameRoute::READ_BACK: {
        // The picture's samples as stored and a pointer to each row, the depth made of them, and
        // the depth frame written.
        const std::uint64_t row = shape.width * shape.storedPixelBytes;
        return row * shape.height + shape.height * sizeof(void*) + pixels * HOST_DEPTH_BYTES +
               PngReading(row, shape.fileBytes) + shape.exrBuffers;
    }
    case FrameRoute::VIDEO:
        // The picture's levels handed to the encoder, and a row of the display window.
        return HostFrame(shape) + Loading(shape) + Module(shape) +
               shape.pictureWidth * shape.pictureHeight * shape.pixelBytes +
               shape.pictureWidth * HOST_COLOUR_BYTES;
    case FrameRoute::PICTURE_INFO:
        // Its rows read one at a time, its text kept.
        return PngReading(shape.width * shape.storedPixelBytes, shape.fileBytes) +
               shape.width * shape.storedPixelBytes;
    }
    return 0;
}

std::uint64_t VideoEncoderMemory(std::uint64_t pixels, bool lossless)
{
    return pixels * (lossless ? FFV1_ENCODER_PIXEL_BYTES : H264_ENCODER_PIXEL_BYTES);
}

} // namespace deepglass
