// A stream the commands print to, held in memory for the Python face to hand on as it sees fit
// (warnings, log records, an exception's message).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

namespace deepglass {

class CapturedOutput {
public:
    CapturedOutput() : file(open_memstream(&buffer, &size))
    {
        if (file == nullptr) throw std::bad_alloc();
    }
    ~CapturedOutput()
    {
        if (file != nullptr) std::fclose(file);
        std::free(buffer);
    }
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;

    std::FILE* File() const { return file; }
    // Everything printed so far.
    std::string Text()
    {
        std::fflush(file);
        return std::string(buffer, size);
    }

private:
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* file;
};

} // namespace deepglass
