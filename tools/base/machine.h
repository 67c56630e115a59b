// What the tool needs to know of the machine it runs on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

namespace deepglass {

// The cores to work on, at least 1.
unsigned Cores();
// The machine's physical memory in bytes; 0 when the machine does not say.
std::uint64_t PhysicalMemory();
// What the frames a command reads at once may take: `asked` (--max-memory), or when that is 0 half
// of the machine's memory (0, no budget, when the machine does not say).
std::uint64_t MemoryBudget(std::uint64_t asked);

// Floats a frame fills once and reads again, in the machine's huge pages where it lends them on
// request: a 2 MiB page is faulted in once where 4 KiB pages would fault 512 times.
struct FreeMemory {
    void operator()(float* memory) const { std::free(memory); }
};
using HeldFloats = std::unique_ptr<float[], FreeMemory>;
// `count` floats, not filled; a std::bad_alloc when there is no memory for them.
HeldFloats HeldFloatsOf(std::size_t count);

// What is known on this host of the process `pid`.
enum class ProcessState { GONE, RUNNING };
ProcessState ProcessStateOf(int pid);
// When the running process `pid` started, in seconds since the epoch (accurate to about a second,
// never later than the truth); nothing when the system does not say.
std::optional<double> ProcessStartTime(int pid);
// This host's name as temporary files carry it ('.' and '/' made '_'); "" when it has none.
std::string HostName();

} // namespace deepglass
