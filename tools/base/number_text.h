// Numbers as messages show them: depths as the shortest text that reads back as the same value,
// byte counts as people read them, shares as per cent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

std::string NumberText(float value);
// "913 KB", "6.7 GB".
std::string MemoryText(std::uint64_t bytes);
// Per cent with one decimal, "12.5%".
std::string ShareText(std::size_t part, std::size_t whole);
