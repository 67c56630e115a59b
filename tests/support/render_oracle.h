// What one render pass must do to a frame of the stand-in host, worked out from the host-call rules
// and the plain reference of the mapping, and the same pass run through the filter, so that the
// two can be compared: the result, every pixel of the frame afterwards, and every host call.
#pragma once

#include <cstdint>
#include <vector>

#include "filter_config.h"
#include "memory_storage.h"
#include "reference_mapping.h"

struct RenderScenario {
    ReferenceFrame frame; // colour, depth, and the ID channels the host has
    bool hasDepth = true;
    FilterConfig config;
    // The call of each kind, counted from 0 within the pass, that the host fails; NEVER for none.
    int failRead = MemoryStorage::NEVER;
    int failPut = MemoryStorage::NEVER;
    int failQuery = MemoryStorage::NEVER;
};

struct RenderOutcome {
    int result = 0;
    std::vector<BMM_Color_64> pixels;
    std::vector<HostCall> calls;
};

// The rules: every row is read; a row not delivered ends the pass with 0 before any channel is
// queried. Without depth (missing or failed query) the pass answers 0 and writes nothing. Otherwise
// the mode's ID channel is queried, the mapping runs where it can, and every row is written back;
// a row the host did not store keeps its old pixels and the answer is 0.
RenderOutcome ExpectedRender(const RenderScenario& scenario);

class DeepglassFilter;

// The pass as the filter runs it, on a fresh storage holding the scenario's frame: with a new
// filter that has loaded the scenario's settings, or with a given filter as it stands (its
// settings then take the place of the scenario's).
RenderOutcome RunRender(const RenderScenario& scenario);
RenderOutcome RenderWith(DeepglassFilter& filter, const RenderScenario& scenario);
