// Configuration records from arbitrary bytes: the input is cut into 16-byte records (the last one
// padded with zeros), each handed to LoadConfigure in a block of exactly 16 bytes, so that a read
// beyond the record is caught. A record carrying the filter's tag is taken whole; any other leaves
// the settings as they were. Afterwards the filter renders a small frame, which must match the
// reference for whatever settings it ended with.
#include <algorithm>
#include <array>
#include <memory>

#include "deepglass_filter.h"
#include "frames.h"
#include "fuzz_support.h"
#include "render_oracle.h"

namespace {

using Record = std::array<unsigned char, CONFIG_RECORD_SIZE>;

Record Saved(DeepglassFilter& filter)
{
    Record record{};
    FUZZ_REQUIRE(filter.SaveConfigure(record.data()) == 1);
    return record;
}

// 4 x 3, surfaces at ordinary depths, one background pixel, and both ID channels with the IDs the
// stored records are most likely to name.
ReferenceFrame SmallScene()
{
    ReferenceFrame frame = MakeFrame(4, 3, {-10, -12, -14, -1e30f, -16, -18, 10, -1e20f, -22, -24, -26, -30});
    frame.materialIds = std::vector<std::uint8_t>{1, 1, 2, 0, 2, 255, 1, 0, 3, 8, 3, 1};
    frame.objectIds = std::vector<std::uint16_t>{1, 5, 5, 0, 300, 65535, 1, 0, 300, 7, 7, 1};
    return frame;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    DeepglassFilter filter;
    FUZZ_REQUIRE(filter.EvaluateConfigure() == CONFIG_RECORD_SIZE);
    FUZZ_REQUIRE(filter.SaveConfigure(nullptr) == 0);

    for (std::size_t offset = 0; offset < size; offset += CONFIG_RECORD_SIZE) {
        const std::size_t length = std::min(CONFIG_RECORD_SIZE, size - offset);
        Record bytes{};
        std::memcpy(bytes.data(), data + offset, length);
        auto block = std::make_unique<unsigned char[]>(CONFIG_RECORD_SIZE);
        std::memcpy(block.get(), bytes.data(), CONFIG_RECORD_SIZE);

        const Record before = Saved(filter);
        const int accepted = filter.LoadConfigure(block.get());
        const Record after = Saved(filter);
        if (ReadConfig(bytes.data()).tag == versionWord) {
            FUZZ_REQUIRE(accepted == 1);
            FUZZ_REQUIRE(after == bytes);
        } else {
            FUZZ_REQUIRE(accepted == 0);
            FUZZ_REQUIRE(after == before);
        }
        FUZZ_REQUIRE(std::memcmp(block.get(), bytes.data(), CONFIG_RECORD_SIZE) == 0);

        const std::int32_t mode = ReadConfig(after.data()).mode;
        const std::uint32_t expectedChannels = mode == MODE_MATERIAL_ID ? CHANNEL_DEPTH | CHANNEL_MATERIAL_ID
                                               : mode == MODE_OBJECT_ID ? CHANNEL_DEPTH | CHANNEL_OBJECT_ID
                                                                        : CHANNEL_DEPTH;
        FUZZ_REQUIRE(filter.ChannelsRequired() == expectedChannels);
        FUZZ_REQUIRE(filter.EvaluateConfigure() == CONFIG_RECORD_SIZE);
    }

    const Record settings = Saved(filter);
    RenderScenario scenario;
    scenario.frame = SmallScene();
    scenario.config = ReadConfig(settings.data());
    const RenderOutcome actual = RenderWith(filter, scenario);
    const RenderOutcome expected = ExpectedRender(scenario);
    FUZZ_REQUIRE(actual.result == expected.result);
    FUZZ_REQUIRE(actual.pixels == expected.pixels);
    FUZZ_REQUIRE(actual.calls == expected.calls);
    // Rendering reads the settings and never changes them.
    FUZZ_REQUIRE(Saved(filter) == settings);
    return 0;
}
