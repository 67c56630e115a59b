// Output files appear whole or not at all: each is written under a temporary name in its own
// folder and renamed over the final name only once complete. Inputs are never written over.
#pragma once

#include <string>
#include <vector>

class AtomicOutput {
public:
    explicit AtomicOutput(std::string finalPath);
    // Removes the temporary file unless Commit succeeded.
    ~AtomicOutput();
    AtomicOutput(const AtomicOutput&) = delete;
    AtomicOutput& operator=(const AtomicOutput&) = delete;

    const std::string& TempPath() const { return tempPath; }
    // Renames the temporary file to the final name; a ToolError when that fails.
    void Commit();

private:
    std::string finalPath;
    std::string tempPath;
    bool committed = false;
};

// A ToolError when `output` names one of `inputs` (also through another spelling or a link).
void RefuseInputOverwrite(const std::string& output, const std::vector<std::string>& inputs);
