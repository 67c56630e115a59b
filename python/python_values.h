// What the tool knows, as the Python values the module hands out: a picture's depth mapping and
// what `info` tells of a file, as dicts.
#pragma once

#include <pybind11/pybind11.h>

#include "commands/info_command.h"
#include "depth/depth_mapping.h"
#include "png/png_reader.h"

namespace deepglass {

// Text the tool made as a Python str: as it is where it is UTF-8, else with its other bytes escaped
// as the tool shows names of any bytes (\xHH), so that a name that is not UTF-8 never stops a call.
pybind11::str TextOf(const std::string& text);

// The mapping's keys without their prefix, "-" made "_": near and far as floats (None where no
// depth took part), bits and frame as ints, the others as text.
pybind11::dict MappingDict(const DepthMapping& mapping);

// A PNG picture as `info` tells it: its size, channels, bits and depth mapping (None without one).
pybind11::dict PictureDict(const std::string& path, const PngPicture& picture);

// An EXR file as `info` tells it: the facts of the view described, or with several views
// described each under "by_view"; with the file's views, parts and depth mappings.
pybind11::dict FileDict(const std::string& path, const FileFacts& facts, const InfoOptions& options);

} // namespace deepglass
