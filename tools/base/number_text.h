// Numbers as messages show them: depths as the shortest text that reads back as the same value,
// limits in powers of ten, byte counts as people read them, shares as per cent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace deepglass {

std::string NumberText(float value);
// The shortest text in powers of ten, as help and messages write limits: "1e20", "-1e30", "2.5e-7".
std::string ExponentText(float value);
// "913 KB", "6.7 GB".
std::string MemoryText(std::uint64_t bytes);
// Per cent with one decimal, "12.5%".
std::string ShareText(std::size_t part, std::size_t whole);

} // namespace deepglass
