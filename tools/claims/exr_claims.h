// What an EXR file claims, checked before anything is allocated for its samples: its headers as
// OpenEXR's core library parses them (it sizes nothing by a claim it has not checked), every chunk
// of every part within the file, and the memory its samples would take against a budget. A damaged
// or hostile file cannot make the reader claim memory far beyond what it could hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace deepglass {

// Reads up to `count` bytes at `offset` of the input into `buffer`; answers how many it read.
using ByteSource = std::function<std::size_t(std::uint64_t offset, void* buffer, std::size_t count)>;

// Empty when the input of `size` bytes holds the frames its headers claim and their samples fit
// in `budget` bytes (0: no budget); otherwise what is wrong, naming the claimed size.
std::string ClaimsProblem(const ByteSource& source, std::uint64_t size, std::uint64_t budget);

} // namespace deepglass
