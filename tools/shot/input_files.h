// The inputs of a run, so that no output is ever written over one of them.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace deepglass {

// The inputs of a run, for refusing an output that would write over one of them, also through
// another spelling or a link. Each input is looked up once, so a check costs the same however
// many frames a shot has.
class InputFiles {
public:
    explicit InputFiles(const std::vector<std::string>& inputs);
    // A ToolError when `output` is one of the inputs.
    void RefuseOverwrite(const std::string& output) const;

private:
    std::map<std::pair<dev_t, ino_t>, std::string> byFile; // the inputs that exist, by file
    std::map<std::string, std::string> byPath;             // by their canonical paths
};

} // namespace deepglass
