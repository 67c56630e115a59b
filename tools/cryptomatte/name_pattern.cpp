#include "cryptomatte/name_pattern.h"

#include <algorithm>
#include <numeric>

#include "base/tool_error.h"

namespace deepglass {

namespace {

// The length of the UTF-8 sequence starting at `text[at]`, 1 for a byte that starts none.
std::size_t SequenceLength(std::string_view text, std::size_t at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80                   ? 1
                               : lead >= 0xC2 && lead < 0xE0 ? 2
                               : lead >= 0xE0 && lead < 0xF0 ? 3
                               : lead >= 0xF0 && lead < 0xF5 ? 4
                                                             : 1;
    if (at + length > text.size()) return 1;
    for (std::size_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return 1;
    return length;
}

std::size_t EditDistance(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b)
{
    std::vector<std::size_t> row(b.size() + 1);
    std::iota(row.begin(), row.end(), std::size_t{0});
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row.back();
}

} // namespace

std::vector<std::string_view> CodePoints(std::string_view text)
{
    std::vector<std::string_view> points;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = SequenceLength(text, at);
        points.push_back(text.substr(at, length));
        at += length;
    }
    return points;
}

PatternFault PatternFaultOf(const std::string& text)
{
    if (text.empty()) return PatternFault::EMPTY;
    const std::vector<std::string_view> points = CodePoints(text);
    for (std::size_t i = 0; i < points.size(); ++i)
        if (points[i] == "\\" && ++i == points.size()) return PatternFault::LONE_BACKSLASH;
    return PatternFault::NONE;
}

NamePattern::NamePattern(const std::string& text) : text_(text)
{
    if (PatternFaultOf(text) != PatternFault::NONE) throw ToolError("not a name pattern: " + text);
    const std::vector<std::string_view> points = CodePoints(text);
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (points[i] == "\\") {
            ++i;
            tokens_.push_back({Kind::PLAIN, std::string(points[i])});
        } else if (points[i] == "*") {
            if (tokens_.empty() || tokens_.back().kind != Kind::ANY) tokens_.push_back({Kind::ANY, {}});
        } else {
            tokens_.push_back({points[i] == "?" ? Kind::ONE : Kind::PLAIN, std::string(points[i])});
        }
    }
}

bool NamePattern::Matches(std::string_view name) const
{
    // Greedy matching that, on a mismatch, lets the last `*` take one more character.
    const std::vector<std::string_view> points = CodePoints(name);
    std::size_t t = 0, p = 0;
    std::size_t starToken = tokens_.size(), starPoint = 0;
    while (p < points.size()) {
        if (t < tokens_.size() && tokens_[t].kind == Kind::ANY) {
            starToken = t++;
            starPoint = p;
        } else if (t < tokens_.size() &&
                   (tokens_[t].kind == Kind::ONE || tokens_[t].character == points[p])) {
            ++t;
            ++p;
        } else if (starToken != tokens_.size()) {
            t = starToken + 1;
            p = ++starPoint;
        } else {
            return false;
        }
    }
    while (t < tokens_.size() && tokens_[t].kind == Kind::ANY) ++t;
    return t == tokens_.size();
}

bool NamePattern::HasWildcards() const
{
    return std::any_of(tokens_.begin(), tokens_.end(),
                       [](const Token& token) { return token.kind != Kind::PLAIN; });
}

std::string NamePattern::Literal() const
{
    std::string literal;
    for (const Token& token : tokens_)
        if (token.kind == Kind::PLAIN) literal += token.character;
    return literal;
}

std::vector<std::string> ClosestNames(const NamePattern& pattern, const std::vector<std::string>& names,
                                      std::size_t count)
{
    const std::string literal = pattern.Literal();
    const std::vector<std::string_view> wanted = CodePoints(literal);
    // Names that hold the plain characters whole come first (a pattern is often a name's start),
    // then the others by how few edits make them.
    std::vector<std::pair<std::size_t, const std::string*>> ranked;
    for (const std::string& name : names) {
        const bool holds = name.find(literal) != std::string::npos;
        ranked.push_back(
            {(holds ? 0 : std::size_t{1} << 31) + EditDistance(wanted, CodePoints(name)), &name});
    }
    const std::size_t kept = std::min(count, ranked.size());
    std::partial_sort(ranked.begin(), ranked.begin() + static_cast<std::ptrdiff_t>(kept), ranked.end(),
                      [](const auto& a, const auto& b) {
                          return a.first != b.first ? a.first < b.first : *a.second < *b.second;
                      });
    std::vector<std::string> closest;
    for (std::size_t i = 0; i < kept; ++i) closest.push_back(*ranked[i].second);
    return closest;
}

} // namespace deepglass
