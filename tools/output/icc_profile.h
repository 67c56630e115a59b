// An ICC display profile (version 2) for a picture whose colour went through a display transform
// other than the sRGB curve: the transform's grey response as each channel's tone curve, over
// the sRGB primaries and D65 white, which the transform is taken to keep.
#pragma once

#include <string>
#include <vector>

namespace deepglass {

// `response` holds the display values of greys evenly from linear 0 to 1 (at least two,
// increasing); `description` names the transform in the profile.
std::vector<unsigned char> IccDisplayProfile(const std::vector<float>& response,
                                             const std::string& description);

} // namespace deepglass
