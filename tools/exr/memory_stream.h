// An EXR input stream over bytes in memory, for reading frames that never were files.
#pragma once

#include <ImfIO.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

namespace deepglass {

// An input stream over a buffer that someone else owns.
class MemoryStream : public Imf::IStream {
public:
    MemoryStream(const char* data, std::size_t size, const std::string& name)
        : Imf::IStream(name.c_str()), data(data), size(size)
    {
    }

    bool read(char c[], int n) override
    {
        if (n < 0 || static_cast<std::uint64_t>(n) > size - position)
            throw std::runtime_error("unexpected end of data");
        std::memcpy(c, data + position, static_cast<std::size_t>(n));
        position += static_cast<std::uint64_t>(n);
        return position < size;
    }
    std::uint64_t tellg() override { return position; }
    void seekg(std::uint64_t pos) override { position = std::min<std::uint64_t>(pos, size); }

private:
    const char* data;
    std::uint64_t size;
    std::uint64_t position = 0;
};

} // namespace deepglass
