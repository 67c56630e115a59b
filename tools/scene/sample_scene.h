// The bundled sample frame: a small scene the tool renders itself, with everything a renderer
// writes for the host's post-production: colour, depth (the empty background at -1e30),
// material-effects IDs and object IDs.
#pragma once

#include "exr/exr_frame.h"

namespace deepglass {

// Material-effects IDs: 1 floor, 2 the two spheres, 3 the box.
// Object IDs: 1 floor, 2 large sphere, 3 box, 4 small sphere.
ExrFrame RenderSampleScene(int width, int height);

} // namespace deepglass
