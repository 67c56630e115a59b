// Writing what the filter gave back: a PNG of the display window, or an EXR that keeps everything
// the filter did not change.
#pragma once

#include <string>
#include <vector>

#include "bitmap.h"
#include "files/exr_frame.h"
#include "files/filtered_exr.h"
#include "files/output_paths.h"

// The picture a PNG holds: the display window, the data window's pixels at their offset, the rest
// transparent black; alpha 65535 everywhere when `opaque`.
struct DisplayPicture {
    int width = 0;
    int height = 0;
    std::vector<BMM_Color_64> pixels;
    bool cropped = false; // part of the data window lay outside the display window
};

// `colour` covers the frame's data window. A ToolError when the display window is too large for a PNG.
DisplayPicture DisplayWindowPicture(const ExrFrame& frame, const std::vector<BMM_Color_64>& colour,
                                    bool opaque);

// Writes the picture of `frame`'s filtered colour to `path` as a whole, adding the warnings the
// picture calls for; a ToolError when it cannot be written.
void WriteFilteredPng(const std::string& path, const ExrFrame& frame, const std::vector<BMM_Color_64>& colour,
                      bool opaque, std::vector<std::string>& warnings);
// Writes `file` as read, with the filtered view's colour where the filter rewrote pixels (see
// WithFilteredColour), to `path` as a whole.
void WriteFilteredExr(const std::string& path, const ExrFile& file, const FilteredView& filtered,
                      std::vector<std::string>& warnings);
