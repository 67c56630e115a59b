#include "output/atomic_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <system_error>

#include "base/machine.h"
#include "base/tool_error.h"

namespace deepglass {

namespace fs = std::filesystem;

namespace {

// The temporary files being written, one slot a writer, for the signal handler to remove when the
// run is stopped. Workers write frames at the same time, so there is a slot for each; a slot is
// claimed through its flag and its name is set with its first character last, so that the handler
// sees a whole name or none.
constexpr int PENDING_SLOTS = 64;
char pendingTemp[PENDING_SLOTS][4096] = {};
std::atomic_flag pendingTaken[PENDING_SLOTS] = {};

extern "C" void RemovePendingAndStop(int signalNumber)
{
    for (char* name : pendingTemp)
        if (name[0] != '\0') unlink(name);
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

void WatchForStopSignals()
{
    // A signal the run was started ignoring (a hang-up under nohup, an interrupt of a background
    // job) stays ignored: it does not stop the run, so there is nothing to remove.
    static const bool installed = [] {
        for (int signalNumber : {SIGINT, SIGTERM, SIGHUP})
            if (std::signal(signalNumber, RemovePendingAndStop) == SIG_IGN)
                std::signal(signalNumber, SIG_IGN);
        return true;
    }();
    (void)installed;
}

// The slot now holding `path`, or -1 when every slot is taken or the name is too long (the file is
// then not removed on a signal, but still written whole or not at all).
int SetPending(const std::string& path)
{
    if (path.empty() || path.size() >= sizeof pendingTemp[0]) return -1;
    for (int slot = 0; slot < PENDING_SLOTS; ++slot) {
        if (pendingTaken[slot].test_and_set()) continue;
        std::memcpy(pendingTemp[slot] + 1, path.c_str() + 1, path.size()); // with the terminating zero
        std::atomic_signal_fence(std::memory_order_seq_cst);
        pendingTemp[slot][0] = path[0];
        return slot;
    }
    return -1;
}

void ClearPending(int& slot)
{
    if (slot < 0) return;
    pendingTemp[slot][0] = '\0';
    pendingTaken[slot].clear();
    slot = -1;
}

// Unique to this writer among every process that may write the same output, also on other machines
// sharing the folder (where process ids repeat): host name, process id and a random number.
// The name is .FINAL.HOST.PID.RANDOM.tmp (HOST left out where the host has no name).
std::string TempToken()
{
    static thread_local std::mt19937_64 random{std::random_device{}()};
    char token[64];
    std::snprintf(token, sizeof token, "%d.%016llx", static_cast<int>(getpid()),
                  static_cast<unsigned long long>(random()));
    const std::string host = HostName();
    return (host.empty() ? "" : host + ".") + token;
}

// A temporary of another host is taken as abandoned only when it has not been written for this
// long: its writer cannot be asked whether it still runs, and a frame is written in minutes, not
// a day. A day also outlasts any clock difference between machines sharing a folder.
constexpr double OTHER_HOST_ABANDONED_SECONDS = 24 * 60 * 60;
// How much later than a temporary's last write a process must have started not to be its writer:
// room for clocks read at different times.
constexpr double START_SLACK_SECONDS = 2;

struct TempWriter {
    std::string host; // "": a host without a name
    int pid = 0;
};

// The writer named by the rest of a temporary's name after ".FINAL.": "HOST.PID.RANDOM.tmp" or
// "PID.RANDOM.tmp"; nothing for a name that is not such a temporary.
std::optional<TempWriter> WriterOf(const std::string& rest)
{
    const std::string suffix = ".tmp";
    if (rest.size() <= suffix.size() || rest.compare(rest.size() - suffix.size(), suffix.size(), suffix) != 0)
        return std::nullopt;
    std::vector<std::string> fields;
    for (std::size_t start = 0, end; start <= rest.size() - suffix.size(); start = end + 1) {
        end = std::min(rest.find('.', start), rest.size() - suffix.size());
        fields.push_back(rest.substr(start, end - start));
    }
    if (fields.size() != 2 && fields.size() != 3) return std::nullopt;
    const std::string& random = fields.back();
    const std::string& pid = fields[fields.size() - 2];
    const auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    if (random.size() != 16 || !std::all_of(random.begin(), random.end(), hex)) return std::nullopt;
    TempWriter writer;
    const auto [stop, error] = std::from_chars(pid.data(), pid.data() + pid.size(), writer.pid);
    if (pid.empty() || error != std::errc() || stop != pid.data() + pid.size() || writer.pid <= 0)
        return std::nullopt;
    if (fields.size() == 3) {
        writer.host = fields[0];
        if (writer.host.empty()) return std::nullopt;
    }
    return writer;
}

// When `path` was last written, in seconds since the epoch; nothing when it is gone.
std::optional<double> LastWritten(const fs::path& path)
{
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) return std::nullopt;
    return static_cast<double>(status.st_mtim.tv_sec) + static_cast<double>(status.st_mtim.tv_nsec) * 1e-9;
}

// Whether the temporary `path`, last written at `written`, belongs to a writer that is no more: on
// this host a process that is gone, or whose id a process started since has taken; elsewhere one
// that has not written it for a day. This process's own are live.
bool Abandoned(const TempWriter& writer, double written)
{
    const std::string host = HostName();
    if (host.empty() || writer.host != host) {
        const double now =
            std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
        return now - written > OTHER_HOST_ABANDONED_SECONDS;
    }
    if (writer.pid == static_cast<int>(getpid())) return false;
    if (ProcessStateOf(writer.pid) == ProcessState::GONE) return true;
    const std::optional<double> started = ProcessStartTime(writer.pid);
    return started && *started > written + START_SLACK_SECONDS;
}

// The names in each output folder that may be temporaries, read once a run: a folder of a shot's
// outputs holds thousands of pictures, and shared storage is slow to list.
std::mutex listedLock;
std::map<std::string, std::vector<std::string>> listedTemporaries;

std::vector<std::string>& TemporariesIn(const fs::path& folder)
{
    const std::string key = folder.string();
    const auto found = listedTemporaries.find(key);
    if (found != listedTemporaries.end()) return found->second;
    std::vector<std::string>& names = listedTemporaries[key];
    std::error_code error;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() > 5 && name[0] == '.' && name.compare(name.size() - 4, 4, ".tmp") == 0)
            names.push_back(name);
    }
    return names;
}

// Flushes what the system holds of the file or folder at `path` to its disk: 0, or the reason it
// could not. Opened for reading, which fsync needs no more than, so that a file or folder the tool
// may write in but not read back is still synced; the open is retried when a signal interrupts it.
int SyncToDisk(const std::string& path, int flags)
{
    int descriptor;
    do descriptor = ::open(path.c_str(), flags | O_RDONLY | O_CLOEXEC);
    while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) return errno;
    int reason = 0;
    while (::fsync(descriptor) != 0) {
        if (errno == EINTR) continue;
        reason = errno;
        break;
    }
    ::close(descriptor);
    return reason;
}

// Whether a folder's sync failed only for want of a way to sync it: a filesystem that cannot sync
// folders (EINVAL, ENOTSUP), or a folder the tool may write in but not open (EACCES). Its file's
// data is on the disk already; only its name may not outlast a power loss there, as it never could.
bool FolderCannotBeSynced(int reason) { return reason == EINVAL || reason == ENOTSUP || reason == EACCES; }

} // namespace

AtomicOutput::AtomicOutput(std::string finalPath) : finalPath(std::move(finalPath))
{
    const fs::path target(this->finalPath);
    tempPath =
        (target.parent_path() / ("." + target.filename().string() + "." + TempToken() + ".tmp")).string();
    WatchForStopSignals();
    pendingSlot = SetPending(tempPath);
}

AtomicOutput::~AtomicOutput()
{
    if (!committed) std::remove(tempPath.c_str());
    ClearPending(pendingSlot);
}

void AtomicOutput::Write(const std::function<void(const std::string& path)>& write)
{
    try {
        write(tempPath);
    } catch (const ToolError& error) {
        std::string message = error.what();
        for (std::size_t at = message.find(tempPath); at != std::string::npos; at = message.find(tempPath))
            message.replace(at, tempPath.size(), finalPath);
        throw ToolError(message);
    }
    Commit();
}

void AtomicOutput::Commit()
{
    // The data reaches the disk before the file takes its final name, so that after a power loss a
    // file under that name is whole (and --skip-existing may trust it) rather than empty or short.
    if (const int reason = SyncToDisk(tempPath, 0); reason != 0)
        throw ToolError("cannot write " + finalPath + ": " + std::strerror(reason));
    if (std::rename(tempPath.c_str(), finalPath.c_str()) != 0)
        throw ToolError("cannot write " + finalPath + ": " + std::strerror(errno));
    committed = true;
    ClearPending(pendingSlot);
    // The rename is a change to the folder, which reaches the disk only with the folder's own sync:
    // without it the file could be back under its temporary name, or gone, after a power loss. A
    // failure leaves the file whole under its final name, but the frame is not reported written.
    const fs::path folder = fs::path(finalPath).parent_path();
    const int reason = SyncToDisk(folder.empty() ? "." : folder.string(), O_DIRECTORY);
    if (reason != 0 && !FolderCannotBeSynced(reason))
        throw ToolError("cannot write " + finalPath + ": " + std::strerror(reason));
}

std::vector<std::string> RemoveDeadWritersTemporaries(const std::string& finalPath)
{
    const fs::path target(finalPath);
    const fs::path folder = target.parent_path();
    const std::string prefix = "." + target.filename().string() + ".";
    std::vector<std::string> removed;
    const std::lock_guard<std::mutex> lock(listedLock);
    std::vector<std::string>& names = TemporariesIn(folder);
    for (auto it = names.begin(); it != names.end();) {
        const std::optional<TempWriter> writer =
            it->rfind(prefix, 0) == 0 ? WriterOf(it->substr(prefix.size())) : std::nullopt;
        const fs::path path = folder / *it;
        const std::optional<double> written = writer ? LastWritten(path) : std::nullopt;
        // Gone already (another run removed it), or removed now: either way no longer listed.
        if (writer && (!written || Abandoned(*writer, *written))) {
            if (written && ::unlink(path.c_str()) == 0) removed.push_back(path.string());
            it = names.erase(it);
        } else {
            ++it;
        }
    }
    return removed;
}

} // namespace deepglass
