// The render pass on frames built from the fuzzer's bytes, compared with the plain reference of the
// mapping and with the host-call rules (render_oracle.h): result, every pixel afterwards, and every
// host call in order.
//
// Input layout (little-endian; missing bytes read as 0):
//   width % 65, height % 65            one byte each
//   channels                           bit 0 depth, bit 1 material IDs, bit 2 object IDs;
//                                      bit 3: depths are palette indices (one byte) instead of raw bits
//   mode selector % 4                  whole image, material ID, object ID, or a raw 32-bit mode follows
//   materialId, objectId               32 bits each
//   failed ReadPixels, PutPixels, QueryChannel call   one byte each, 255 for none
//   per pixel: depth, then the material IDs (8 bits), then the object IDs (16 bits), where present
#include <vector>

#include "frames.h"
#include "fuzz_support.h"
#include "render_oracle.h"

namespace {

constexpr int MAX_SIDE = 64;
constexpr std::uint8_t NO_FAILURE = 255;

// Depths where the mapping's comparisons and conversions turn: ordinary ones, the extreme ones,
// and those where a float stops holding every whole number.
const std::vector<float> DEPTH_PALETTE = [] {
    std::vector<float> palette = {0.0f, -0.0f, -10.0f, -20.0f, -30.0f, 10.0f, -0.5f, -1.0f, -65535.0f};
    palette.insert(palette.end(), EXTREME_DEPTHS.begin(), EXTREME_DEPTHS.end());
    palette.insert(palette.end(), {-1e-30f, -1e10f, -16777216.0f, -16777217.0f});
    return palette;
}();

int FailureAt(std::uint8_t value) { return value == NO_FAILURE ? MemoryStorage::NEVER : value; }

std::int32_t Mode(ByteReader& input)
{
    switch (input.Byte() % 4) {
    case 0: return MODE_WHOLE_IMAGE;
    case 1: return MODE_MATERIAL_ID;
    case 2: return MODE_OBJECT_ID;
    default: return static_cast<std::int32_t>(input.Word32());
    }
}

RenderScenario ScenarioFrom(ByteReader& input)
{
    RenderScenario scenario;
    const int width = input.Byte() % (MAX_SIDE + 1);
    const int height = input.Byte() % (MAX_SIDE + 1);
    const std::uint8_t channels = input.Byte();
    scenario.hasDepth = (channels & 1) != 0;
    const bool paletteDepths = (channels & 8) != 0;
    scenario.config.mode = Mode(input);
    scenario.config.materialId = static_cast<std::int32_t>(input.Word32());
    scenario.config.objectId = static_cast<std::int32_t>(input.Word32());
    scenario.failRead = FailureAt(input.Byte());
    scenario.failPut = FailureAt(input.Byte());
    scenario.failQuery = FailureAt(input.Byte());

    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<float> depth(count);
    for (float& z : depth) {
        z = paletteDepths ? DEPTH_PALETTE[input.Byte() % DEPTH_PALETTE.size()] : input.Float();
    }
    scenario.frame = MakeFrame(width, height, std::move(depth));
    if ((channels & 2) != 0) {
        std::vector<std::uint8_t> ids(count);
        for (auto& id : ids) id = input.Byte();
        scenario.frame.materialIds = std::move(ids);
    }
    if ((channels & 4) != 0) {
        std::vector<std::uint16_t> ids(count);
        for (auto& id : ids) id = input.Word16();
        scenario.frame.objectIds = std::move(ids);
    }
    return scenario;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ByteReader input(data, size);
    const RenderScenario scenario = ScenarioFrom(input);
    const RenderOutcome actual = RunRender(scenario);
    const RenderOutcome expected = ExpectedRender(scenario);
    FUZZ_REQUIRE(actual.result == expected.result);
    FUZZ_REQUIRE(actual.calls == expected.calls);
    FUZZ_REQUIRE(actual.pixels == expected.pixels);
    return 0;
}
