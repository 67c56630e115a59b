// The module's own filter base: it answers the identity queries from the module's constants and
// leaves the filter's work to the class derived from it.
#pragma once

#include "image_filter.h"

class FilterBase : public ImageFilter {
public:
    FilterBase() = default;
    ~FilterBase() override = default;

    const char* ProductName() override;
    const char* AuthorLine() override;
    const char* RightsNotice() override;
    std::uint32_t VersionWord() override;
    std::uint32_t CapabilityFlags() override;
};
