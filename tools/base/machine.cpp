#include "base/machine.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <new>
#include <sstream>
#include <thread>

#include "base/frame_memory.h"

namespace deepglass {

unsigned Cores() { return std::max(1u, std::thread::hardware_concurrency()); }

std::uint64_t PhysicalMemory()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    return pages > 0 && pageSize > 0
               ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize)
               : 0;
}

HeldFloats HeldFloatsOf(std::size_t count)
{
    const std::size_t bytes = HeldFloatBytes(count);
    void* memory = bytes < HUGE_PAGE_BYTES ? std::malloc(bytes) : std::aligned_alloc(HUGE_PAGE_BYTES, bytes);
    if (memory == nullptr) throw std::bad_alloc();
    // Only a hint: without huge pages the memory is the same, faulted in 4 KiB at a time.
    if (bytes >= HUGE_PAGE_BYTES) madvise(memory, bytes, MADV_HUGEPAGE);
    return HeldFloats(static_cast<float*>(memory));
}

std::uint64_t MemoryBudget(std::uint64_t asked) { return asked != 0 ? asked : PhysicalMemory() / 2; }

ProcessState ProcessStateOf(int pid)
{
    // EPERM: the process exists but belongs to someone else.
    return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM) ? ProcessState::RUNNING : ProcessState::GONE;
}

std::optional<double> ProcessStartTime(int pid)
{
    // Field 22 of /proc/PID/stat is the start in clock ticks after boot; the line's second field,
    // the command name in parentheses, may itself hold spaces and parentheses.
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return std::nullopt;
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    std::istringstream fields(line.substr(close + 1));
    std::string field;
    for (int index = 3; index <= 22 && fields >> field; ++index)
        if (index == 22) {
            // The boot time is given in whole seconds, rounded down: the start found is never late.
            std::ifstream system("/proc/stat");
            std::string key;
            double bootTime = -1;
            while (system >> key)
                if (key == "btime") {
                    system >> bootTime;
                    break;
                }
            const long ticks = sysconf(_SC_CLK_TCK);
            if (bootTime < 0 || ticks <= 0) return std::nullopt;
            char* end = nullptr;
            const double started = std::strtod(field.c_str(), &end);
            if (end == field.c_str() || *end != '\0') return std::nullopt;
            return bootTime + started / static_cast<double>(ticks);
        }
    return std::nullopt;
}

std::string HostName()
{
    char host[256] = "";
    if (gethostname(host, sizeof host - 1) != 0) return "";
    std::string name = host;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return c == '/' || c == '.'; }, '_');
    return name;
}

} // namespace deepglass
