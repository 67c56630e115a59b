// Frames of the stand-in host for tests: a MemoryStorage filled from plain vectors, and its call
// record in a form that gtest can compare.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

#include "memory_storage.h"
#include "reference_mapping.h"

// A storage holding `frame`'s colour and depth, plus its ID channels where present.
std::unique_ptr<MemoryStorage> MakeStorage(const ReferenceFrame& frame, bool withDepth = true);

// A frame of width x height with distinct colours and the given depths (row-major).
ReferenceFrame MakeFrame(int width, int height, std::vector<float> depth);

std::vector<HostCall> CallsOf(const MemoryStorage& storage);
std::vector<BMM_Color_64> PixelsOf(MemoryStorage& storage);

// One ReadPixels per row, then the channel queries, then one PutPixels per row, each row from
// column 0 with a count of `width`, rows ascending.
std::vector<HostCall> RowCalls(HostCallKind kind, int width, int height);
HostCall Query(std::uint32_t channel);

bool operator==(const BMM_Color_64& a, const BMM_Color_64& b);
void PrintTo(const BMM_Color_64& colour, std::ostream* out);
void PrintTo(const HostCall& call, std::ostream* out);
