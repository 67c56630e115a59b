// What a frame costs in memory on its way through the tool, route by route: every allocation that a
// file's headers (or a picture's) steer, so much a pixel, a row and fixed, written down here once.
// The job count's estimate, the claims checked when an EXR file is opened, the check each route
// makes before it allocates for a frame, and the readers and writers that size their strips and
// threads all take their figures from here. A route's cost is the sum of the entries it takes; a
// new route adds its entries here, to the same account. The tool's own fixed cost (its code, its
// libraries and the module, loaded once) is beside the budget, not in it: TOOL_FIXED_BYTES, and
// VIDEO_LIBRARY_BYTES where a video is written or read.
#pragma once

#include <cstdint>
#include <string>

namespace deepglass {

// The resident memory of the tool itself, its libraries and the module loaded, before any frame:
// 10.5 MB measured for `deepglass apply` of a 1 x 1 frame into a PNG (GCC 12, Debian 12's
// libraries), rounded up. A run peaks within its budget plus this.
inline constexpr std::uint64_t TOOL_FIXED_BYTES = std::uint64_t{16} << 20;
// What a run that writes or reads a video adds to that, once: the video library and FFmpeg's
// libraries with the codecs they pull in, loaded. 39.4 MB measured for the same frame into an
// .mkv, rounded up.
inline constexpr std::uint64_t VIDEO_LIBRARY_BYTES = std::uint64_t{32} << 20;

// Samples a reader holds whole take 32 bits each, whatever their stored type.
inline constexpr std::uint64_t HELD_SAMPLE_BYTES = 4;
// The host's frame: colour as four 16-bit levels, and the ID channels at their host widths.
inline constexpr std::uint64_t HOST_COLOUR_BYTES = 8;
inline constexpr std::uint64_t HOST_MATERIAL_ID_BYTES = 1;
inline constexpr std::uint64_t HOST_OBJECT_ID_BYTES = 2;
// Each call the module makes on the host's frame is recorded, a row read and a row put back each.
inline constexpr std::uint64_t HOST_CALL_BYTES = 20;
// Rows a decoding thread takes from a strip: a whole number of every compression's chunks (1, 16,
// 32), and enough for several chunks of a strip to be decoded side by side while it stays in cache.
// 32 rather than 64 took a 4K frame's picture 29 % fewer page faults and 5 MB less memory, as fast.
inline constexpr int STRIP_ROWS = 32;
// The filtered bytes of a segment of a PNG picture, whole rows of them (a row at least), deflated
// on one thread: large enough that the window each segment starts again costs next to nothing,
// small enough that a frame makes segments for every core and a thread holds little
// (benchmark/README.md, "PNG pictures").
inline constexpr std::uint64_t PNG_SEGMENT_BYTES = std::uint64_t{1} << 20;
// The text a PNG picture read back may hold, all its text chunks' keywords and values together.
inline constexpr std::uint64_t PNG_TEXT_BYTES = std::uint64_t{1} << 20;
// A libdeflate decompressor (libdeflate 1.14; measured by tests/cli/frame_memory_test.cpp).
inline constexpr std::uint64_t INFLATER_BYTES = 16 << 10;

// Floats a frame holds whole for a second pass go in huge pages where there are 2 MiB of them
// or more, and take whole huge pages.
inline constexpr std::uint64_t HUGE_PAGE_BYTES = std::uint64_t{2} << 20;
std::uint64_t HeldFloatBytes(std::uint64_t count);

// A frame in strips: a strip's host frame and the module's working copy of it together stay within
// about this many pixels, so that they stay in cache from strip to strip (a row at least).
inline constexpr std::uint64_t STRIP_PIXELS = 32768;
// The rows of a strip of a frame `width` pixels wide.
int StripRowsOf(std::uint64_t width);
// The segments of a PNG picture deflated at once, and held until written, for each encoding thread.
inline constexpr int PNG_BATCH_SEGMENTS = 2;

// The ways a frame goes through the tool.
enum class FrameRoute {
    PNG,          // apply to a PNG: the channels it needs decoded a strip of rows at a time into the host's
                  // frame, filtered by the module, the picture encoded in segments on the frame's threads
    EXR,          // apply to an EXR: every part read whole, the view filtered, every part written again
    SCALE_PASS,   // the first pass of apply --range shot: depth, alpha and IDs into the host's frame
    INFO,         // info of an EXR frame: every part read whole, each view counted
    READ_BACK,    // depth: a PNG picture read back into an EXR frame of float depth
    PICTURE_INFO, // info of a PNG picture: its rows read one at a time, its text kept
    VIDEO,        // apply to a video: as PNG up to the filter, then the picture held as the encoder's frame
    STRIPS,       // apply to a PNG in strips: the frame's depths held from a first pass that reads
                  // a band of rows at a time, then a band of its rows at a time handed to the filters
                  // a strip each, the picture's segments written as they are deflated
};

// What the account reckons a frame by, from its headers and what the run asks of it. Each route
// takes the fields it needs; the others stay 0.
struct FrameShape {
    // The frame handed to the filter (the view's data window), and the rows held below it (the
    // ends of a fixed grey scale). READ_BACK: the picture.
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    std::uint64_t extraRows = 0;
    bool materialIds = false;   // the host's frame holds the material-effects IDs
    bool objectIds = false;     // and the object IDs
    bool matte = false;         // an ID channel is made from a Cryptomatte layer's rank-0 IDs
    bool displayColour = false; // kept colour goes through a display transform, as floats
    // What the read of the frame's channels keeps, from the reader's own figures: its strip of
    // decoded rows and each decoding thread's chunk at one decoding thread, and OpenEXR's buffers.
    std::uint64_t readBytes = 0;
    // EXR, INFO: every part held whole, and those of its samples stored as HALF (EXR writes them
    // from copies as halves); how many views are written from the one read; OpenEXR's buffers for
    // the parts read whole, and as many again for EXR, which writes every part again (READ_BACK:
    // its buffers for the depth frame written).
    std::uint64_t heldSamples = 0;
    std::uint64_t halfSamples = 0;
    std::uint64_t views = 1;
    std::uint64_t exrBuffers = 0;
    // PNG: the picture (the display window) and the bytes of its pixel; its compression level; the
    // threads that encode it, each deflating a segment at a time.
    std::uint64_t pictureWidth = 0;
    std::uint64_t pictureHeight = 0;
    std::uint64_t pixelBytes = 0;
    int level = 0;
    std::uint64_t encoders = 1;
    // STRIPS: the rows of a band read at once (readBytes is its read's), of a strip and of the
    // range below it, and the filters at work on strips at once.
    std::uint64_t bandRows = 0;
    std::uint64_t stripRows = 0;
    std::uint64_t rangeRows = 0;
    std::uint64_t lanes = 1;
    bool percentiles = false; // --clip: the tallies of its percentile sweeps
    // READ_BACK, PICTURE_INFO: the picture's samples as stored, bytes a pixel, and its file's size.
    std::uint64_t storedPixelBytes = 0;
    std::uint64_t fileBytes = 0;
};

// The bytes a frame of `shape` holds at its peak on `route`: an upper bound of everything allocated
// for it, the tool's fixed cost aside.
std::uint64_t FrameMemory(FrameRoute route, const FrameShape& shape);
// Empty when a frame of `shape` takes no more than `budget` bytes on `route` (0: no budget); else
// what it would take, for an error that follows the file's name.
std::string FrameMemoryProblem(FrameRoute route, const FrameShape& shape, std::uint64_t budget);

// A libdeflate compressor at compression level `level` (0 to 12).
std::uint64_t DeflaterBytes(int level);
// What a video's encoder holds for pictures of `pixels` pixels, once a video whatever its frames,
// measured with Debian 12's FFmpeg on the 4K sample: FFV1 (`lossless`) zero-fills an output buffer
// of about 160 bytes a pixel whatever the bits or slices; x264 keeps its look-ahead and reference
// frames, about 42.
inline constexpr std::uint64_t FFV1_ENCODER_PIXEL_BYTES = 160;
inline constexpr std::uint64_t H264_ENCODER_PIXEL_BYTES = 48;
std::uint64_t VideoEncoderMemory(std::uint64_t pixels, bool lossless);

// A strip of `rows` decoded rows of `width` samples of `channels` channels.
std::uint64_t StripBytes(std::uint64_t width, std::uint64_t rows, std::uint64_t channels);
// What a thread of the tool's own chunk decoding keeps: a chunk of `chunkBytes` unpacked, as
// stored and unpacked, and its inflater.
std::uint64_t OwnChunkBytes(std::uint64_t chunkBytes);
// OpenEXR's buffers for a part it decodes or encodes with `threads` threads of its own, whose
// chunks (or tiles) hold `chunkBytes` unpacked: two a thread, at least one, each holding a chunk
// as stored, unpacked and in its compressor's own workspace.
std::uint64_t OpenExrBufferBytes(std::uint64_t chunkBytes, int threads);

} // namespace deepglass
