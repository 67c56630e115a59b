// Header attributes as text: what a written part says of itself under a prefix of the tool's own,
// written as typed attributes where the value is a number, and read back as the same text.
#pragma once

#include <ImfForward.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace deepglass {

struct HeaderText {
    // How the attribute is stored: a string, or a float or int holding the number the text reads
    // as (a float's text being the shortest that reads back as the same float).
    enum class Type { STRING, FLOAT, INT };
    std::string name;
    std::string text;
    Type type = Type::STRING;
};

// `header` (null: a header of the defaults) with every attribute whose name starts with `prefix`
// replaced by `texts`, so that nothing an earlier writer said under the prefix is kept.
std::shared_ptr<const Imf::Header> WithHeaderTexts(const Imf::Header* header, const std::string& prefix,
                                                   const std::vector<HeaderText>& texts);

// The attributes of `header` whose names start with `prefix`, as text: strings as they are,
// floats as the shortest text that reads back as the same float, ints in decimal, and any other
// type as "(TYPE)" so that its reader can say what it found.
std::vector<std::pair<std::string, std::string>> HeaderTextsOf(const Imf::Header& header,
                                                               const std::string& prefix);

} // namespace deepglass
