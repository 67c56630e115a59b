#include "output/icc_profile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace deepglass {

namespace {

// Points of the tone curve: device values evenly from 0 to 1.
constexpr int CURVE_POINTS = 1024;

struct Bytes {
    std::vector<unsigned char> data;
    void U32(std::uint32_t v)
    {
        for (int shift = 24; shift >= 0; shift -= 8) data.push_back(static_cast<unsigned char>(v >> shift));
    }
    void U16(std::uint16_t v)
    {
        data.push_back(static_cast<unsigned char>(v >> 8));
        data.push_back(static_cast<unsigned char>(v));
    }
    void Signature(const char* four)
    {
        for (int i = 0; i < 4; ++i) data.push_back(static_cast<unsigned char>(four[i]));
    }
    void Fixed(double v)
    {
        U32(static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(v * 65536))));
    }
    void Xyz(double x, double y, double z)
    {
        Signature("XYZ ");
        U32(0);
        Fixed(x);
        Fixed(y);
        Fixed(z);
    }
    void Pad()
    {
        while (data.size() % 4 != 0) data.push_back(0);
    }
};

// The linear value whose display value is `encoded`, from the sampled response (increasing).
double LinearOf(const std::vector<float>& response, double encoded)
{
    const auto upper = std::lower_bound(response.begin(), response.end(), static_cast<float>(encoded));
    const double step = 1.0 / static_cast<double>(response.size() - 1);
    if (upper == response.begin()) return 0.0;
    if (upper == response.end()) return 1.0;
    const std::size_t i = static_cast<std::size_t>(upper - response.begin());
    const double low = response[i - 1], high = response[i];
    const double t = high > low ? (encoded - low) / (high - low) : 0.0;
    return (static_cast<double>(i - 1) + t) * step;
}

} // namespace

std::vector<unsigned char> IccDisplayProfile(const std::vector<float>& response,
                                             const std::string& description)
{
    // A response that dips is taken at its running maximum, so that it can be inverted.
    std::vector<float> rising(response);
    for (std::size_t i = 1; i < rising.size(); ++i) rising[i] = std::max(rising[i], rising[i - 1]);

    std::vector<std::pair<const char*, Bytes>> tags;
    Bytes desc;
    desc.Signature("desc");
    desc.U32(0);
    desc.U32(static_cast<std::uint32_t>(description.size() + 1));
    desc.data.insert(desc.data.end(), description.begin(), description.end());
    desc.data.push_back(0);
    desc.U32(0); // no Unicode description
    desc.U32(0);
    desc.data.insert(desc.data.end(), 3 + 67, 0); // no ScriptCode description
    tags.emplace_back("desc", desc);
    Bytes copyright;
    copyright.Signature("text");
    copyright.U32(0);
    const std::string none = "No copyright";
    copyright.data.insert(copyright.data.end(), none.begin(), none.end());
    copyright.data.push_back(0);
    tags.emplace_back("cprt", copyright);
    Bytes white, red, green, blue;
    white.Xyz(0.9642, 1.0, 0.8249); // D65 as the PCS sees it, adapted to D50
    red.Xyz(0.4360747, 0.2225045, 0.0139322);
    green.Xyz(0.3850649, 0.7168786, 0.0971045);
    blue.Xyz(0.1430804, 0.0606169, 0.7141733);
    tags.emplace_back("wtpt", white);
    tags.emplace_back("rXYZ", red);
    tags.emplace_back("gXYZ", green);
    tags.emplace_back("bXYZ", blue);
    Bytes curve;
    curve.Signature("curv");
    curve.U32(0);
    curve.U32(CURVE_POINTS);
    for (int i = 0; i < CURVE_POINTS; ++i) {
        const double linear = LinearOf(rising, static_cast<double>(i) / (CURVE_POINTS - 1));
        curve.U16(static_cast<std::uint16_t>(std::lround(std::clamp(linear, 0.0, 1.0) * 65535)));
    }
    const std::size_t curveTag = tags.size();
    tags.emplace_back("rTRC", curve);
    const char* shared[] = {"gTRC", "bTRC"}; // the same curve's bytes, named again

    const std::size_t tableBytes = 4 + 12 * (tags.size() + 2);
    Bytes body, table;
    table.U32(static_cast<std::uint32_t>(tags.size() + 2));
    std::uint32_t curveOffset = 0;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        body.Pad();
        const std::uint32_t offset = static_cast<std::uint32_t>(128 + tableBytes + body.data.size());
        if (i == curveTag) curveOffset = offset;
        table.Signature(tags[i].first);
        table.U32(offset);
        table.U32(static_cast<std::uint32_t>(tags[i].second.data.size()));
        body.data.insert(body.data.end(), tags[i].second.data.begin(), tags[i].second.data.end());
    }
    for (const char* name : shared) {
        table.Signature(name);
        table.U32(curveOffset);
        table.U32(static_cast<std::uint32_t>(curve.data.size()));
    }
    body.Pad();

    Bytes profile;
    profile.U32(static_cast<std::uint32_t>(128 + tableBytes + body.data.size()));
    profile.U32(0);          // no preferred CMM
    profile.U32(0x02100000); // version 2.1
    profile.Signature("mntr");
    profile.Signature("RGB ");
    profile.Signature("XYZ ");
    for (int i = 0; i < 6; ++i) profile.U16(0); // no date
    profile.Signature("acsp");
    for (int i = 0; i < 4; ++i) profile.U32(0); // platform, flags, device maker and model
    profile.U32(0);                             // attributes, 8 bytes
    profile.U32(0);
    profile.U32(0); // perceptual intent
    // The PCS illuminant, D50, exactly as the ICC gives it.
    profile.U32(0x0000F6D6);
    profile.U32(0x00010000);
    profile.U32(0x0000D32D);
    profile.U32(0); // creator
    profile.data.resize(128, 0);
    profile.data.insert(profile.data.end(), table.data.begin(), table.data.end());
    profile.data.insert(profile.data.end(), body.data.begin(), body.data.end());
    return profile.data;
}

} // namespace deepglass
