#include "base/utf8_text.h"

#include <cstdint>

namespace deepglass {

namespace {

// The length of the UTF-8 character at the start of `text` and the character; length 0 when no
// UTF-8 character starts there.
std::pair<std::size_t, char32_t> CharacterAt(std::string_view text)
{
    const auto lead = static_cast<unsigned char>(text[0]);
    const std::size_t length = lead < 0x80   ? 1
                               : lead < 0xC2 ? 0
                               : lead < 0xE0 ? 2
                               : lead < 0xF0 ? 3
                               : lead < 0xF5 ? 4
                                             : 0;
    if (length == 0 || length > text.size()) return {0, 0};
    char32_t code = length == 1 ? lead : lead & (0x7Fu >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[k]);
        if ((next & 0xC0) != 0x80) return {0, 0};
        code = code << 6 | (next & 0x3F);
    }
    static constexpr char32_t LEAST[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < LEAST[length] || (code >= 0xD800 && code < 0xE000) || code > 0x10FFFF) return {0, 0};
    return {length, code};
}

} // namespace

std::optional<std::u32string> Utf8Characters(std::string_view utf8)
{
    std::u32string characters;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto [length, code] = CharacterAt(utf8.substr(i));
        if (length == 0) return std::nullopt;
        characters += code;
        i += length;
    }
    return characters;
}

std::string Latin1AsUtf8(std::string_view latin1)
{
    std::string utf8;
    utf8.reserve(latin1.size());
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | byte >> 6);
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

std::string NameText(std::string_view name)
{
    static constexpr char HEX[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t length = CharacterAt(name.substr(i)).first;
        if (length == 0) {
            const auto byte = static_cast<unsigned char>(name[i++]);
            text += {'\\', 'x', HEX[byte >> 4], HEX[byte & 0xF]};
            continue;
        }
        if (name[i] == '\\') text += '\\';
        text.append(name.substr(i, length));
        i += length;
    }
    return text;
}

} // namespace deepglass
