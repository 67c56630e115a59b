#include "frame/samples.h"

#include "base/number_text.h"
#include "base/tool_error.h"

namespace deepglass {

void RefuseId(std::uint32_t sample, SampleType type, std::uint32_t limit, const std::string& name,
              const std::string& pixel)
{
    if (type != SampleType::UINT) {
        const float value = std::bit_cast<float>(sample);
        throw ToolError("channel " + name + " holds " + NumberText(value) + " at " + pixel +
                        "; IDs must be whole numbers from 0 to " + std::to_string(limit));
    }
    throw ToolError("channel " + name + " holds " + std::to_string(sample) + " at " + pixel +
                    ", which does not fit the host's " + (limit > 255 ? "16-bit" : "8-bit") +
                    " channel (0 to " + std::to_string(limit) + ")");
}

} // namespace deepglass
