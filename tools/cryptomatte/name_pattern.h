// Patterns that pick names out of a Cryptomatte manifest. A pattern matches a whole name: `*`
// stands for any run of characters (none too), `?` for one character, and a backslash makes the
// next character plain, so that names holding `*`, `?` or `\` can be given exactly. Everything
// else, `[`, quotes, commas and slashes too, is plain. Characters are UTF-8 code points, so `?`
// stands for one letter of any script.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace deepglass {

// Why a text cannot be a pattern.
enum class PatternFault { NONE, EMPTY, LONE_BACKSLASH };
PatternFault PatternFaultOf(const std::string& text);

class NamePattern {
public:
    // A ToolError for a text with a fault.
    explicit NamePattern(const std::string& text);

    bool Matches(std::string_view name) const;
    // Whether the pattern holds `*` or `?`; one that does not stands for exactly one name.
    bool HasWildcards() const;
    // The name a pattern without wildcards stands for; the plain characters of any other.
    std::string Literal() const;
    const std::string& Text() const { return text_; }

private:
    enum class Kind { PLAIN, ONE, ANY };
    struct Token {
        Kind kind;
        std::string character; // one code point, for PLAIN
    };
    std::string text_;
    std::vector<Token> tokens_;
};

// The UTF-8 code points of `text`; a byte that starts no valid sequence is one of its own.
std::vector<std::string_view> CodePoints(std::string_view text);

// Up to `count` of `names` nearest to the pattern's plain characters (by edit distance over code
// points), nearest first.
std::vector<std::string> ClosestNames(const NamePattern& pattern, const std::vector<std::string>& names,
                                      std::size_t count);

} // namespace deepglass
