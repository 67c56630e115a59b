// Frames for the benchmarks: a rendered-looking scene (a ground plane below the horizon, a few
// spheres, and the -1e30 background where nothing was rendered) in the stand-in host's storage.
#pragma once

#include <cstdint>
#include <memory>

#include "memory_storage.h"

// Material-effects and object IDs of the ground plane: selecting it selects about half the frame.
constexpr std::uint8_t SCENE_GROUND_MATERIAL = 1;
constexpr std::uint16_t SCENE_GROUND_OBJECT = 100;

struct SceneFrame {
    std::unique_ptr<MemoryStorage> storage;
    double groundShare; // share of the pixels that belong to the ground plane
};

// A width x height frame with colour, depth, material-effects and object channels.
SceneFrame MakeSceneFrame(int width, int height);
