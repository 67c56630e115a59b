// Cryptomatte layers for the sample frame, made from its ID channels as a renderer writes them
// beside its beauty pass, so that selecting by name can be tried on the bundled scene.
#pragma once

#include "exr/exr_frame.h"

namespace deepglass {

// Object names: floor, sphere.large, box, sphere.small (object IDs 1 to 4).
// Material names: floor_tiles, glass (the spheres), wood (the box) (material-effects IDs 1 to 3).
// Adds CryptoObject00 and CryptoMaterial00 (R, G, B, A: rank-0 ID and coverage, rank 1 empty) and
// each layer's header attributes with its manifest. The scene is traced with one ray a pixel, so
// a pixel's one name covers it whole.
void AddSampleCryptomatte(ExrFrame& frame);

} // namespace deepglass
