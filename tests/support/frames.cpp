#include "frames.h"

#include <algorithm>

bool operator==(const BMM_Color_64& a, const BMM_Color_64& b)
{
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

void PrintTo(const BMM_Color_64& colour, std::ostream* out)
{
    *out << "(" << colour.r << "," << colour.g << "," << colour.b << "," << colour.a << ")";
}

void PrintTo(const HostCall& call, std::ostream* out)
{
    static const char* const names[] = {"ReadPixels", "PutPixels", "QueryChannel"};
    *out << names[static_cast<int>(call.kind)] << "(x=" << call.x << ", y=" << call.y
         << ", count=" << call.count << ", channel=" << call.channel << ")";
}

std::unique_ptr<MemoryStorage> MakeStorage(const ReferenceFrame& frame, bool withDepth)
{
    auto storage = std::make_unique<MemoryStorage>(static_cast<std::uint16_t>(frame.width),
                                                   static_cast<std::uint16_t>(frame.height));
    std::copy(frame.pixels.begin(), frame.pixels.end(), storage->Pixels());
    if (withDepth) std::copy(frame.depth.begin(), frame.depth.end(), storage->AddDepth());
    if (frame.materialIds) {
        std::copy(frame.materialIds->begin(), frame.materialIds->end(), storage->AddMaterialIds());
    }
    if (frame.objectIds) {
        std::copy(frame.objectIds->begin(), frame.objectIds->end(), storage->AddObjectIds());
    }
    return storage;
}

ReferenceFrame MakeFrame(int width, int height, std::vector<float> depth)
{
    ReferenceFrame frame;
    frame.width = width;
    frame.height = height;
    frame.depth = std::move(depth);
    frame.depth.resize(static_cast<std::size_t>(width) * height, 0.0f);
    for (std::size_t i = 0; i < frame.depth.size(); ++i) {
        const auto v = static_cast<std::uint16_t>(1000 + 7 * i);
        frame.pixels.push_back({v, static_cast<std::uint16_t>(v + 1), static_cast<std::uint16_t>(v + 2),
                                static_cast<std::uint16_t>(v + 3)});
    }
    return frame;
}

std::vector<HostCall> CallsOf(const MemoryStorage& storage)
{
    std::vector<HostCall> calls;
    for (std::size_t i = 0; i < storage.CallCount(); ++i) calls.push_back(storage.Call(i));
    return calls;
}

std::vector<BMM_Color_64> PixelsOf(MemoryStorage& storage)
{
    return {storage.Pixels(), storage.Pixels() + storage.PixelCount()};
}

std::vector<HostCall> RowCalls(HostCallKind kind, int width, int height)
{
    std::vector<HostCall> calls;
    for (int y = 0; y < height; ++y) calls.push_back({kind, 0, y, width, 0});
    return calls;
}

HostCall Query(std::uint32_t channel) { return {HostCallKind::QueryChannel, 0, 0, 0, channel}; }
