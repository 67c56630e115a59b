#include "pipeline/view_strips.h"

#include <algorithm>

#include "deepglass_interface.h"

namespace deepglass {

namespace {

// Lanes keep storages of a few heights: a strip, the row above a segment, a segment's last strip.
constexpr std::size_t HEIGHTS_KEPT = 4;

MemoryStorage& StorageOf(StripLane& lane, int width, int height, MemoryStorage* band)
{
    const bool material = band != nullptr && band->MaterialIds() != nullptr;
    const bool object = band != nullptr && band->ObjectIds() != nullptr;
    auto found = std::find_if(lane.storages.begin(), lane.storages.end(), [&](const auto& storage) {
        return storage->Height() == height && storage->Width() == width;
    });
    if (found == lane.storages.end()) {
        if (lane.storages.size() == HEIGHTS_KEPT) lane.storages.erase(lane.storages.begin());
        lane.storages.push_back(std::make_unique<MemoryStorage>(static_cast<std::uint16_t>(width),
                                                                static_cast<std::uint16_t>(height),
                                                                MemoryStorage::Start::ZEROED));
        found = lane.storages.end() - 1;
    }
    MemoryStorage& storage = **found;
    storage.Reuse();
    storage.AddDepth(MemoryStorage::Start::UNWRITTEN);
    // The rows below a strip keep the IDs 0 they start with.
    if (material) storage.AddMaterialIds(MemoryStorage::Start::ZEROED);
    if (object) storage.AddObjectIds(MemoryStorage::Start::ZEROED);
    return storage;
}

} // namespace

void AddStripLanes(std::vector<Worker>& workers, int threads)
{
    for (Worker& worker : workers) {
        worker.lanes.resize(static_cast<std::size_t>(std::max(threads, 1)));
        worker.lanes[0].filter = worker.filter;
        for (std::size_t k = 1; k < worker.lanes.size(); ++k)
            if (worker.lanes[k].filter == nullptr)
                worker.lanes[k].filter = worker.twins.emplace_back(worker.filter->Twin()).get();
    }
}

StripFilters::StripFilters(std::span<StripLane> lanes, const ViewFrame& made, const HeldView& held,
                           int stripRows, int segmentRows, int segmentStart)
    : lanes(lanes), rendered(lanes.size()), owners(lanes.size()),
      width(static_cast<std::size_t>(made.frame.Width())), height(made.frame.Height()), held(held),
      stripRows(std::max(stripRows, 1)), segmentRows(std::max(segmentRows, 1)), segmentStart(segmentStart)
{
}

void StripFilters::Band(MemoryStorage* rows, int first)
{
    band = rows;
    bandFirst = first;
    // The threads that ask for the next rows are new ones.
    std::fill(owners.begin(), owners.end(), std::thread::id());
}

std::size_t StripFilters::LaneOfThread()
{
    const std::thread::id self = std::this_thread::get_id();
    const std::lock_guard<std::mutex> hold(ownersLock);
    auto found = std::find(owners.begin(), owners.end(), self);
    if (found == owners.end()) found = std::find(owners.begin(), owners.end(), std::thread::id());
    *found = self;
    return static_cast<std::size_t>(found - owners.begin());
}

const BMM_Color_64* StripFilters::Row(int row)
{
    const std::size_t k = LaneOfThread();
    Rendered& strip = rendered[k];
    if (strip.storage == nullptr || row < strip.first || row >= strip.last) {
        // A strip never runs past the end of the segment its first row is in, whose rows are all
        // in the band; a segment's first strip then starts on its first row.
        const int offset = ((row - segmentStart) % segmentRows + segmentRows) % segmentRows;
        Render(lanes[k], strip, row, std::min({row + stripRows, row + segmentRows - offset, height}));
    }
    return strip.storage->Pixels() + static_cast<std::size_t>(row - strip.first) * width;
}

void StripFilters::Render(StripLane& lane, Rendered& strip, int first, int last)
{
    const std::size_t rows = static_cast<std::size_t>(last - first);
    const int below = RangeRows(static_cast<int>(width));
    MemoryStorage& storage = StorageOf(lane, static_cast<int>(width), static_cast<int>(rows) + below, band);
    const std::size_t count = rows * width;
    const std::size_t at = static_cast<std::size_t>(first) * width;
    float* depth = storage.Depth();
    std::copy_n(held.depth.data() + at, count, depth);
    PlantRange(held.range, {depth + count, static_cast<std::size_t>(below) * width});
    if (band != nullptr) {
        MemoryStorage& from = *band;
        const std::size_t in = static_cast<std::size_t>(first - bandFirst) * width;
        std::copy_n(from.Pixels() + in, count, storage.Pixels());
        std::fill_n(storage.Pixels() + count, static_cast<std::size_t>(below) * width,
                    BMM_Color_64{0, 0, 0, 0});
        if (from.MaterialIds() != nullptr) std::copy_n(from.MaterialIds() + in, count, storage.MaterialIds());
        if (from.ObjectIds() != nullptr) std::copy_n(from.ObjectIds() + in, count, storage.ObjectIds());
    }
    lane.filter->Render(storage);
    strip = {&storage, first, last};
}

} // namespace deepglass
