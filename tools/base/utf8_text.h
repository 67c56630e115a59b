// Text as UTF-8: its characters, Latin-1 made UTF-8, and names of any bytes made UTF-8 text that
// still tells which bytes they were.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace deepglass {

// The characters of UTF-8 text; nothing when it is not UTF-8 (overlong forms, surrogates and codes
// beyond U+10FFFF included).
std::optional<std::u32string> Utf8Characters(std::string_view utf8);

// Latin-1 text (ISO 8859-1, each byte a character) as UTF-8.
std::string Latin1AsUtf8(std::string_view latin1);

// A name of any bytes (EXR channel, layer and view names are bytes) as UTF-8 text, as pictures
// record names and info shows them: every byte that is not part of a UTF-8 character becomes \xHH
// (two upper-case hex digits) and every backslash \\; the rest is as it was. A UTF-8 name without
// a backslash is itself, and no two names give the same text: reading \\ as a backslash and \xHH
// as the byte HH gives the name back.
std::string NameText(std::string_view name);

} // namespace deepglass
