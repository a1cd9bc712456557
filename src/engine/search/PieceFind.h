#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace wk::engine::search {

/// How common a byte is in upper-cased Tagalog and English text, roughly: lower is rarer. A
/// search for a piece looks for its rarest byte first, so that fewer places need a comparison.
inline int byteCommonness(unsigned char c) {
    // From the letter counts of the bundled dictionary's searched fields.
    static constexpr std::string_view byCommonness = "QXZJVFWCKHBDPYUEORLTSMGIN A";
    const size_t at = byCommonness.find(static_cast<char>(c));
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

/// The first place in `text` from `from` on where `piece` (not empty) begins, or npos.
inline size_t findPiece(std::string_view text, std::string_view piece, size_t from = 0) {
    if (piece.size() > text.size() || from > text.size() - piece.size())
        return std::string_view::npos;
    size_t k = 0;
    for (size_t i = 1; i < piece.size(); ++i)
        if (byteCommonness(static_cast<unsigned char>(piece[i])) <
            byteCommonness(static_cast<unsigned char>(piece[k])))
            k = i;
    const char key = piece[k];
    const char* const begin = text.data();
    // The key byte is sought where it can stand: from + k up to the last start + k.
    const char* at = begin + from + k;
    const char* const last = begin + (text.size() - piece.size()) + k;
    while (at <= last) {
        const void* hit = std::memchr(at, key, static_cast<size_t>(last - at) + 1);
        if (!hit)
            return std::string_view::npos;
        const char* start = static_cast<const char*>(hit) - k;
        if (std::memcmp(start, piece.data(), piece.size()) == 0)
            return static_cast<size_t>(start - begin);
        at = static_cast<const char*>(hit) + 1;
    }
    return std::string_view::npos;
}

} // namespace wk::engine::search
