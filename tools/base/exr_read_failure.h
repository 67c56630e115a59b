// A fault of an EXR file itself, named as it is; anything else that stops a read is damage.
#pragma once

#include <stdexcept>

namespace deepglass {

struct ExrReadFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

} // namespace deepglass
