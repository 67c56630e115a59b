// Progress over several frames: a bar redrawn in place on a terminal, one plain line a frame
// otherwise. Warnings and errors go to the error stream without breaking the bar.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace deepglass {

class Progress {
public:
    // `terminal`: draw a bar on `out` (which is a terminal) instead of writing plain lines.
    Progress(std::size_t total, bool terminal, std::FILE* out, std::FILE* errors);

    // Frame `index` (from 0) is being worked on. Frames may be worked on at once: callers make
    // the calls one at a time, and the bar shows the frame begun last.
    void Begin(std::size_t index, const std::string& name);
    // Frame `index` is done; `line` says what became of it (shown as a plain line, numbered by the
    // frame's place in the run, whatever order frames finish in).
    void Done(std::size_t index, const std::string& line);
    void Message(const std::string& line);
    // Removes the bar, leaving the line free for the summary.
    void End();

private:
    void Draw();
    void Clear();

    std::size_t total;
    bool terminal;
    std::FILE* out;
    std::FILE* errors;
    std::size_t done = 0;
    std::string currentName;
    bool drawn = false;
};

} // namespace deepglass
