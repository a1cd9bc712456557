#include "engine/search/UnicodeText.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <atomic>
#include <cstdint>

namespace wk::engine {
namespace {

std::string toUpperWithIcu(std::string_view text) {
    icu::UnicodeString s = icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    s.toUpper(icu::Locale::getRoot());
    std::string out;
    s.toUTF8String(out);
    return out;
}

// The full upper-case mapping of the code points U+0080 to U+FFFF, learnt from ICU as they are
// met: 0 when not yet known, kComplex when the mapping is not a single code point of that range
// (U+00DF becomes "SS"), otherwise the mapped code point plus one. Upper-casing without a locale
// maps each code point on its own, so a text of such code points can be mapped one at a time.
constexpr std::uint32_t kComplex = 0xFFFFFFFF;
std::atomic<std::uint32_t> knownUpper[0x10000];

std::uint32_t upperOf(std::uint32_t cp) {
    std::atomic<std::uint32_t>& slot = knownUpper[cp];
    std::uint32_t known = slot.load(std::memory_order_relaxed);
    if (known == 0) {
        icu::UnicodeString s(static_cast<UChar32>(cp));
        s.toUpper(icu::Locale::getRoot());
        known = s.length() == 1 && !U16_IS_SURROGATE(s.charAt(0))
                    ? static_cast<std::uint32_t>(s.charAt(0)) + 1
                    : kComplex;
        slot.store(known, std::memory_order_relaxed);
    }
    return known;
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool continuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

} // namespace

std::string toUpperUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            out += static_cast<char>(c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c);
            ++i;
            continue;
        }
        // A well-formed character of two or three bytes (no surrogate), with a simple mapping.
        std::uint32_t cp = 0;
        size_t length = 0;
        if (c >= 0xC2 && c <= 0xDF && i + 1 < n && continuation(s[i + 1])) {
            cp = ((c & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu);
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF && i + 2 < n && continuation(s[i + 1]) &&
                   continuation(s[i + 2])) {
            cp = ((c & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3Fu);
            length = cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF) ? 3 : 0;
        }
        const std::uint32_t upper = length ? upperOf(cp) : kComplex;
        if (upper == kComplex)
            return toUpperWithIcu(text); // anything else: ICU maps the whole text
        appendUtf8(out, upper - 1);
        i += length;
    }
    return out;
}

size_t utf8Length(std::string_view text) {
    size_t n = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++n;
    return n;
}

} // namespace wk::engine
