#include "filter_base.h"

#include "identity.h"

const char* FilterBase::ProductName() { return productName; }

const char* FilterBase::AuthorLine() { return authorText; }

const char* FilterBase::RightsNotice() { return rightsText; }

std::uint32_t FilterBase::VersionWord() { return versionWord; }

std::uint32_t FilterBase::CapabilityFlags() { return capabilityFlags; }
