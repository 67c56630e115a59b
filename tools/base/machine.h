// What the tool needs to know of the machine it runs on.
#pragma once

#include <cstdint>
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

// What is known on this host of the process `pid`.
enum class ProcessState { GONE, RUNNING };
ProcessState ProcessStateOf(int pid);
// When the running process `pid` started, in seconds since the epoch (accurate to about a second,
// never later than the truth); nothing when the system does not say.
std::optional<double> ProcessStartTime(int pid);
// This host's name as temporary files carry it ('.' and '/' made '_'); "" when it has none.
std::string HostName();

} // namespace deepglass
