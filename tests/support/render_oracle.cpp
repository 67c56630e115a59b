#include "render_oracle.h"

#include <algorithm>

#include "deepglass_filter.h"
#include "frames.h"

namespace {

// The frame as the mapping sees it in one mode: only the ID channel that mode loads.
ReferenceFrame WithOnlyIds(const ReferenceFrame& frame, bool materials, bool objects)
{
    ReferenceFrame view = frame;
    if (!materials) view.materialIds.reset();
    if (!objects) view.objectIds.reset();
    return view;
}

void Append(std::vector<HostCall>& calls, const std::vector<HostCall>& more)
{
    calls.insert(calls.end(), more.begin(), more.end());
}

} // namespace

RenderOutcome ExpectedRender(const RenderScenario& scenario)
{
    const ReferenceFrame& frame = scenario.frame;
    RenderOutcome outcome;
    outcome.pixels = frame.pixels;
    outcome.calls = RowCalls(HostCallKind::ReadPixels, frame.width, frame.height);
    if (scenario.failRead >= 0 && scenario.failRead < frame.height) return outcome;

    outcome.calls.push_back(Query(CHANNEL_DEPTH));
    if (!scenario.hasDepth || scenario.failQuery == 0) return outcome;

    const FilterConfig& config = scenario.config;
    if (config.mode == MODE_WHOLE_IMAGE) {
        outcome.pixels = ReferenceMap(WithOnlyIds(frame, false, false), -1);
    } else if (config.mode == MODE_MATERIAL_ID) {
        outcome.calls.push_back(Query(CHANNEL_MATERIAL_ID));
        if (frame.materialIds && scenario.failQuery != 1) {
            outcome.pixels = ReferenceMap(WithOnlyIds(frame, true, false), config.materialId);
        }
    } else if (config.mode == MODE_OBJECT_ID) {
        outcome.calls.push_back(Query(CHANNEL_OBJECT_ID));
        if (frame.objectIds && scenario.failQuery != 1) {
            outcome.pixels = ReferenceMap(WithOnlyIds(frame, false, true), config.objectId);
        }
    }

    Append(outcome.calls, RowCalls(HostCallKind::PutPixels, frame.width, frame.height));
    outcome.result = 1;
    if (scenario.failPut >= 0 && scenario.failPut < frame.height) {
        const auto rowStart = static_cast<std::ptrdiff_t>(scenario.failPut) * frame.width;
        std::copy(frame.pixels.begin() + rowStart, frame.pixels.begin() + rowStart + frame.width,
                  outcome.pixels.begin() + rowStart);
        outcome.result = 0;
    }
    return outcome;
}

RenderOutcome RenderWith(DeepglassFilter& filter, const RenderScenario& scenario)
{
    auto storage = MakeStorage(scenario.frame, scenario.hasDepth);
    storage->FailReadPixelsCall(scenario.failRead);
    storage->FailPutPixelsCall(scenario.failPut);
    storage->FailQueryChannelCall(scenario.failQuery);
    Bitmap bitmap(storage.get());
    filter.SetSource(&bitmap);

    RenderOutcome outcome;
    outcome.result = filter.Render(0);
    filter.SetSource(nullptr);
    outcome.pixels = PixelsOf(*storage);
    outcome.calls = CallsOf(*storage);
    return outcome;
}

RenderOutcome RunRender(const RenderScenario& scenario)
{
    DeepglassFilter filter;
    unsigned char record[CONFIG_RECORD_SIZE];
    WriteConfig(scenario.config, record);
    filter.LoadConfigure(record);
    return RenderWith(filter, scenario);
}
