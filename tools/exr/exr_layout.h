// What the EXR readers share: opening a file as an EXR file, reading its layout (every part and
// every channel's view, no samples), and turning whatever stops a read into a ToolError that names
// the file and what is wrong with it.
#pragma once

#include <ImfForward.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "base/exr_read_failure.h"
#include "exr/exr_file.h"

namespace deepglass {

// The host's frames are at most this wide and high (its bitmap sizes are 16-bit).
constexpr int FRAME_MAX_SIDE = 65535;

struct ExrReadLimits {
    // Frames with more pixels than this are refused before any sample memory is allocated
    // (0: only the side limit applies). Useful where memory is bounded, as under a fuzzer.
    std::size_t maxPixels = 0;
    // Files whose samples would take more bytes than this are refused before any is allocated (0:
    // no budget). Every file is held to what its headers claim: each of its chunks must lie within it.
    std::uint64_t maxSampleBytes = 0;
};

// The file opened for reading; a ToolError naming it when it cannot be (missing, a folder, ...).
std::unique_ptr<std::ifstream> OpenInputFile(const std::string& path);

// Checks that `stream`, `size` bytes long, holds an EXR file that holds what its headers claim
// within `limits`, and opens it at its start; ExrReadFailure when not.
std::unique_ptr<Imf::MultiPartInputFile> OpenExrStream(Imf::IStream& stream, std::uint64_t size,
                                                       const ExrReadLimits& limits);
// The size of the file at `path`, for OpenExrStream; a ToolError naming it when it cannot be had.
std::uint64_t InputFileSize(const std::string& path);

// The headers of every part and every channel's view, no samples yet; `note` tells of a
// mip-mapped part, of which only the full-resolution level is read. ExrReadFailure for a deep part
// whose samples cannot be ordered or a frame beyond the limits.
ExrFile ExrLayoutOf(const Imf::MultiPartInputFile& file, const ExrReadLimits& limits, std::string& note);

// How many threads of OpenEXR's own pool decode the blocks of a read side by side (0: the reading
// thread decodes them itself). Set before files are opened.
void SetExrDecodeThreads(int threads);
// The threads files opened now decode and encode with, which size OpenEXR's buffers for them.
int ExrDecodeThreads();

// Runs `read`; what it throws becomes a ToolError whose message starts with `name`. A ToolError it
// throws itself is already in the caller's words and passes unchanged.
void GuardExrRead(const std::string& name, const std::function<void()>& read);

} // namespace deepglass
