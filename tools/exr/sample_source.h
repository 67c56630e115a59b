// Chosen channels of a file handed over a strip of rows at a time, for a caller that converts the
// samples into buffers of its own as they arrive: decoded from the file (ExrInput) or taken
// from a file held whole in memory (HeldSamples). Both place each channel by pixel coordinates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "chunks/flat_chunks.h"
#include "exr/exr_file.h"

namespace deepglass {

// The memory a read keeps for the next, so that the frames of a sequence do not each allocate it
// anew: a strip of decoded rows, channel after channel, and each decoding thread's chunk; and
// what the two may take, so that a read decodes on more threads only where they fit (0: no limit).
struct ReadScratch {
    std::vector<std::uint32_t> rows;
    std::vector<ChunkScratch> chunks;
    std::uint64_t allowance = 0;
};

// What a read takes at one decoding thread, by the account (base/frame_memory.h): what it holds
// whatever the threads (OpenEXR's buffers, channels decoded whole), and its strip of decoded rows
// with the decoding thread's chunk, which more decoding threads make larger.
struct ReadMemory {
    std::uint64_t held = 0;
    std::uint64_t strip = 0;
};

class SampleSource {
public:
    virtual ~SampleSource() = default;

    // Every part and every channel's view; samples only where the source holds them.
    virtual const ExrFile& Layout() const = 0;

    // Gets `count` samples of channel `channel` (an index into the channels read) for the pixels
    // from (`column`, `row`) on, both counted from the window's corner, held as FrameChannel holds
    // them: UINT as it is, HALF and FLOAT as a float's bits.
    using RowSink = std::function<void(std::size_t channel, int row, int column, int count,
                                       const std::uint32_t* samples)>;

    // Hands `channels` over `window`, each from its own part, one sample a pixel: a subsampled
    // channel's stored sample is handed over for every pixel of its block. Pixels of the window
    // that a channel's part does not cover are not handed over, and the rows that are go over in
    // order. `scratch` keeps its memory for the next call. A ToolError for a damaged or incomplete
    // part; one the sink throws passes unchanged.
    virtual void Read(const std::vector<ViewChannel>& channels, const PixelBox& window, ReadScratch& scratch,
                      const RowSink& sink) = 0;

    // Hands over the luminance-chroma colour (Y, RY, BY) of the file's first part as R, G, B,
    // channels 0, 1 and 2 of `sink`, over `window` as Read does, converted as OpenEXR's RGBA
    // interface converts it. Only a source that reads the file can: the others raise a ToolError.
    virtual void ReadLumaChroma(const PixelBox& window, ReadScratch& scratch, const RowSink& sink);

    // What Read of `channels` over `window`, and with `lumaChroma` ReadLumaChroma, takes.
    virtual ReadMemory MemoryOfRead(const std::vector<ViewChannel>& channels, const PixelBox& window,
                                    bool lumaChroma) const = 0;
};

// Hands `stored`, held whole over `from`, to `sink` as channel `k` over `window`, as Read does.
void HandOverHeld(const FrameChannel& stored, const PixelBox& from, std::size_t k, const PixelBox& window,
                  std::vector<std::uint32_t>& scratch, const SampleSource::RowSink& sink);

class HeldSamples : public SampleSource {
public:
    // `file` outlives this.
    explicit HeldSamples(const ExrFile& file) : file(file) {}

    const ExrFile& Layout() const override { return file; }
    void Read(const std::vector<ViewChannel>& channels, const PixelBox& window, ReadScratch& scratch,
              const RowSink& sink) override;
    ReadMemory MemoryOfRead(const std::vector<ViewChannel>& channels, const PixelBox& window,
                            bool lumaChroma) const override;

private:
    const ExrFile& file;
};

} // namespace deepglass
