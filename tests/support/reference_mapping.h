// A plain reference of the depth-to-grey mapping, written for clarity, against which the module's
// mapping is compared.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "bitmap.h"

struct ReferenceFrame {
    int width = 0;
    int height = 0;
    std::vector<BMM_Color_64> pixels;
    std::vector<float> depth;
    std::optional<std::vector<std::uint8_t>> materialIds; // selects when present
    std::optional<std::vector<std::uint16_t>> objectIds;  // selects when no material IDs
};

// The frame's pixels after mapping with selectionId (-1: every pixel).
std::vector<BMM_Color_64> ReferenceMap(const ReferenceFrame& frame, int selectionId);

// The grey level of one depth for a frame whose magnitudes span [minDepth, maxDepth].
std::uint16_t ReferenceGrey(float z, float minDepth, float maxDepth);
