// Output files appear whole or not at all: each is written under a temporary name in its own
// folder, synced to the disk, and renamed over the final name only once complete, and the folder
// is synced after the rename, so that a file under its final name is whole also after a power loss
// or a lost node. Inputs are never written over.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace deepglass {

class AtomicOutput {
public:
    explicit AtomicOutput(std::string finalPath);
    // Removes the temporary file unless Write succeeded.
    ~AtomicOutput();
    AtomicOutput(const AtomicOutput&) = delete;
    AtomicOutput& operator=(const AtomicOutput&) = delete;

    // Runs `write` on the temporary name (which `write` leaves closed), syncs the file, renames it
    // to the final name and syncs its folder. A ToolError when any of these fails, its message
    // naming the final name.
    void Write(const std::function<void(const std::string& path)>& write);

    // For a file written over a long time (a video): the temporary name to write, and once it is
    // written and closed, the same sync, rename and folder sync as Write.
    const std::string& TemporaryPath() const { return tempPath; }
    void Commit();

private:
    std::string finalPath;
    std::string tempPath;
    bool committed = false;
    int pendingSlot = -1; // where the signal handler finds the temporary name
};

// Removes the temporaries of `finalPath` that writers no longer running left behind, and answers
// their paths. On this host a temporary's writer is gone when its process is (or when the process
// with its id started after the file was last written); a temporary of another host, which cannot
// be asked, is taken as abandoned when it was last written more than a day ago. A live writer's
// file is never touched. The folder is listed once a run.
std::vector<std::string> RemoveDeadWritersTemporaries(const std::string& finalPath);

} // namespace deepglass
