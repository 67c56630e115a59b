// Output files appear whole or not at all: each is written under a temporary name in its own
// folder and renamed over the final name only once complete. Inputs are never written over.
#pragma once

#include <functional>
#include <string>
#include <vector>

class AtomicOutput {
public:
    explicit AtomicOutput(std::string finalPath);
    // Removes the temporary file unless Write succeeded.
    ~AtomicOutput();
    AtomicOutput(const AtomicOutput&) = delete;
    AtomicOutput& operator=(const AtomicOutput&) = delete;

    // Runs `write` on the temporary name, then renames the file to the final name. A ToolError
    // when either fails, its message naming the final name.
    void Write(const std::function<void(const std::string& path)>& write);

private:
    std::string finalPath;
    std::string tempPath;
    bool committed = false;
    int pendingSlot = -1; // where the signal handler finds the temporary name
};

// A ToolError when `output` names one of `inputs` (also through another spelling or a link).
void RefuseInputOverwrite(const std::string& output, const std::vector<std::string>& inputs);
