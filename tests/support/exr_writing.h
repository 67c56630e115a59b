// Writing the EXR frames that tests and fuzz seeds are made of.
#pragma once

#include <ImfFrameBuffer.h>
#include <ImfHeader.h>

#include <string>

// Writes one flat part of `header`'s channels from `buffer`, over the header's data window: in
// 2 x 2 tiles when `tiled`, so that even a small frame spans several tiles, else in scan lines.
void WriteFlatExr(const std::string& path, Imf::Header header, const Imf::FrameBuffer& buffer, bool tiled);
