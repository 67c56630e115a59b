#include "files/atomic_output.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include "base/tool_error.h"

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
    static const bool installed = [] {
        for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) std::signal(signalNumber, RemovePendingAndStop);
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
std::string TempToken()
{
    char host[256] = "";
    if (gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
    static thread_local std::mt19937_64 random{std::random_device{}()};
    char token[64];
    std::snprintf(token, sizeof token, "%d.%016llx", static_cast<int>(getpid()),
                  static_cast<unsigned long long>(random()));
    std::string name = host;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return c == '/' || c == '.'; }, '_');
    return (name.empty() ? "" : name + ".") + token;
}

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
    if (std::rename(tempPath.c_str(), finalPath.c_str()) != 0)
        throw ToolError("cannot write " + finalPath + ": " + std::strerror(errno));
    committed = true;
    ClearPending(pendingSlot);
}

InputFiles::InputFiles(const std::vector<std::string>& inputs)
{
    for (const std::string& input : inputs) {
        struct stat status {};
        if (::stat(input.c_str(), &status) == 0)
            byFile.emplace(std::make_pair(status.st_dev, status.st_ino), input);
        std::error_code error;
        const fs::path canonical = fs::weakly_canonical(input, error);
        if (!error) byPath.emplace(canonical.string(), input);
    }
}

void InputFiles::RefuseOverwrite(const std::string& output) const
{
    const std::string* input = nullptr;
    struct stat status {};
    if (::stat(output.c_str(), &status) == 0) {
        const auto found = byFile.find({status.st_dev, status.st_ino});
        if (found != byFile.end()) input = &found->second;
    }
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(output, error);
    if (input == nullptr && !error) {
        const auto found = byPath.find(canonical.string());
        if (found != byPath.end()) input = &found->second;
    }
    if (input != nullptr)
        throw ToolError("the output " + output + " is the input " + *input +
                        "; inputs are never written over");
}
