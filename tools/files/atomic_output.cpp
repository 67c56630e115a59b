#include "files/atomic_output.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "cli/tool_error.h"

namespace fs = std::filesystem;

namespace {

// The temporary file being written, for the signal handler to remove when the run is stopped.
char pendingTemp[4096] = "";

extern "C" void RemovePendingAndStop(int signalNumber)
{
    if (pendingTemp[0] != '\0') unlink(pendingTemp);
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

void SetPending(const std::string& path)
{
    pendingTemp[0] = '\0';
    if (path.empty() || path.size() >= sizeof pendingTemp) return;
    std::memcpy(pendingTemp + 1, path.c_str() + 1, path.size()); // with the terminating zero
    pendingTemp[0] = path[0]; // last: the handler sees a whole name or none
}

} // namespace

AtomicOutput::AtomicOutput(std::string finalPath) : finalPath(std::move(finalPath))
{
    const fs::path target(this->finalPath);
    const std::string name = "." + target.filename().string() + "." + std::to_string(getpid()) + ".tmp";
    tempPath = (target.parent_path() / name).string();
    WatchForStopSignals();
    SetPending(tempPath);
}

AtomicOutput::~AtomicOutput()
{
    pendingTemp[0] = '\0';
    if (!committed) std::remove(tempPath.c_str());
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
    pendingTemp[0] = '\0';
}

void RefuseInputOverwrite(const std::string& output, const std::vector<std::string>& inputs)
{
    std::error_code error;
    const fs::path target = fs::weakly_canonical(output, error);
    for (const std::string& input : inputs) {
        std::error_code sameError;
        const bool same = fs::equivalent(output, input, sameError) ||
                          (!error && fs::weakly_canonical(input, sameError) == target);
        if (same)
            throw ToolError("the output " + output + " is the input " + input +
                            "; inputs are never written over");
    }
}
