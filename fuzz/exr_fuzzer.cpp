// Any bytes as the command-line host's input file: reading ends in a clean error or in a frame
// that holds together, never a crash, an overrun or a hang. A frame that reads is taken on to the
// frame the filter is handed, as the tool makes it, and through the render pass, which must match
// the plain reference.
#include <algorithm>
#include <string>

#include "base/tool_error.h"
#include "exr/exr_reader.h"
#include "exr/sample_source.h"
#include "frame/storage_frame.h"
#include "frame/view_frame.h"
#include "frames.h"
#include "fuzz_support.h"
#include "render_oracle.h"

using namespace deepglass;

namespace {

// Keeps each input quick and its memory bounded; the reader refuses larger frames up front.
constexpr std::size_t MAX_PIXELS = 1 << 16;
// The memory a read may claim for its samples: room for the largest frame's channels. The reader
// refuses a file that claims more, or whose chunks do not lie within it, before OpenEXR's C++
// library sizes anything by those claims, which under AddressSanitizer would cost seconds of
// shadow-memory work for each claim of gigabytes.
constexpr std::uint64_t MAX_SAMPLE_BYTES = std::uint64_t{MAX_PIXELS} * 4 * 16;

// One view of the file as the tool makes it into the host's frame, through the render pass.
void RenderLikeTheTool(const ExrFile& file, const std::string& view)
{
    RenderScenario scenario;
    FrameBuffers buffers;
    try {
        const ViewFrame made = ViewLayoutOf(file, view, {});
        RequireDepth(made);
        HeldSamples held(file);
        MemoryStorage& storage =
            LoadStorageFrame(held, made, {}, CHANNEL_MATERIAL_ID | CHANNEL_OBJECT_ID, buffers).storage;
        const std::size_t count = storage.PixelCount();
        FUZZ_REQUIRE(count == made.frame.PixelCount());
        scenario.frame.width = made.frame.Width();
        scenario.frame.height = made.frame.Height();
        scenario.frame.pixels.assign(storage.Pixels(), storage.Pixels() + count);
        scenario.frame.depth.assign(storage.Depth(), storage.Depth() + count);
        if (storage.MaterialIds() != nullptr)
            scenario.frame.materialIds.emplace(storage.MaterialIds(), storage.MaterialIds() + count);
        if (storage.ObjectIds() != nullptr)
            scenario.frame.objectIds.emplace(storage.ObjectIds(), storage.ObjectIds() + count);
    } catch (const ToolError& error) {
        FUZZ_REQUIRE(error.what()[0] != '\0'); // a frame the filter cannot take says why
        return;
    }
    scenario.config.mode = scenario.frame.objectIds     ? MODE_OBJECT_ID
                           : scenario.frame.materialIds ? MODE_MATERIAL_ID
                                                        : MODE_WHOLE_IMAGE;
    const RenderOutcome actual = RunRender(scenario);
    const RenderOutcome expected = ExpectedRender(scenario);
    FUZZ_REQUIRE(actual.result == expected.result);
    FUZZ_REQUIRE(actual.pixels == expected.pixels);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ExrReadLimits limits;
    limits.maxPixels = MAX_PIXELS;
    limits.maxSampleBytes = MAX_SAMPLE_BYTES;
    ExrReadResult result;
    try {
        result = ReadExrMemory(data, size, "input", limits);
    } catch (const ToolError& error) {
        const std::string message = error.what();
        FUZZ_REQUIRE(message.rfind("input: ", 0) == 0 && message.size() > 7);
        return 0;
    }
    const ExrFile& file = result.file;
    FUZZ_REQUIRE(!file.parts.empty());
    std::size_t pixels = 0;
    for (const ExrPart& part : file.parts) {
        const ExrFrame& frame = part.frame;
        FUZZ_REQUIRE(frame.Width() >= 1 && frame.Width() <= FRAME_MAX_SIDE);
        FUZZ_REQUIRE(frame.Height() >= 1 && frame.Height() <= FRAME_MAX_SIDE);
        pixels += frame.PixelCount();
        for (std::size_t i = 0; i < frame.channels.size(); ++i) {
            const FrameChannel& channel = frame.channels[i];
            FUZZ_REQUIRE(channel.samples.size() ==
                         static_cast<std::size_t>(frame.Width() / channel.xSampling) *
                             static_cast<std::size_t>(frame.Height() / channel.ySampling));
            if (i > 0) FUZZ_REQUIRE(frame.channels[i - 1].name < channel.name);
        }
    }
    FUZZ_REQUIRE(pixels <= MAX_PIXELS);
    for (const std::string& view : SelectViews(file, "all")) RenderLikeTheTool(file, view);
    return 0;
}
