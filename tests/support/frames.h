// Frames of the stand-in host for tests: a MemoryStorage filled from plain vectors, and its call
// record in a form that gtest can compare.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <limits>
#include <memory>
#include <ostream>
#include <vector>

#include "memory_storage.h"
#include "reference_mapping.h"

// Depths where the mapping's comparisons and conversions turn at the ends of what a float holds:
// either side of the depth limit 1e20, the far cut-off 1e30, infinities, NaNs, the smallest and
// largest magnitudes.
inline constexpr float BELOW_DEPTH_LIMIT = std::bit_cast<float>(std::bit_cast<std::uint32_t>(1e20f) - 1);
inline constexpr std::array<float, 15> EXTREME_DEPTHS = {1e20f,
                                                         -1e20f,
                                                         BELOW_DEPTH_LIMIT,
                                                         -BELOW_DEPTH_LIMIT,
                                                         1e30f,
                                                         -1e30f,
                                                         std::numeric_limits<float>::infinity(),
                                                         -std::numeric_limits<float>::infinity(),
                                                         std::numeric_limits<float>::quiet_NaN(),
                                                         -std::numeric_limits<float>::quiet_NaN(),
                                                         std::numeric_limits<float>::denorm_min(),
                                                         -std::numeric_limits<float>::denorm_min(),
                                                         std::numeric_limits<float>::max(),
                                                         -std::numeric_limits<float>::max(),
                                                         std::numeric_limits<float>::min()};

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
