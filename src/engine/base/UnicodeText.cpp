#include "engine/base/UnicodeText.h"

#include "engine/base/AsciiText.h"

#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <atomic>
#include <cstdint>

namespace wk::engine {
namespace {

// The simple upper-case mapping of a code point (UnicodeData's): one code point, the code point
// itself when it has none. "ß" stays "ß" where the full mapping would make it "SS".
UChar32 simpleUpper(UChar32 cp) {
    return u_toupper(cp);
}

// Any text: ICU reads it, with U+FFFD in place of each ill-formed piece, and each code point is
// mapped on its own.
std::string toUpperWithIcu(std::string_view text) {
    const icu::UnicodeString s = icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    icu::UnicodeString upper;
    for (int32_t i = 0; i < s.length();) {
        const UChar32 c = s.char32At(i);
        upper.append(simpleUpper(c));
        i += U16_LENGTH(c);
    }
    std::string out;
    upper.toUTF8String(out);
    return out;
}

// The simple upper-case mapping of the code points U+0080 to U+FFFF, learnt from ICU as they are
// met: 0 when not yet known, kComplex when the mapping is not a code point of that range (none is
// in today's Unicode), otherwise the mapped code point plus one.
constexpr std::uint32_t kComplex = 0xFFFFFFFF;
std::atomic<std::uint32_t> knownUpper[0x10000];

std::uint32_t upperOf(std::uint32_t cp) {
    std::atomic<std::uint32_t>& slot = knownUpper[cp];
    std::uint32_t known = slot.load(std::memory_order_relaxed);
    if (known == 0) {
        const UChar32 upper = simpleUpper(static_cast<UChar32>(cp));
        known = upper >= 0 && upper < 0x10000 && !U16_IS_SURROGATE(upper)
                    ? static_cast<std::uint32_t>(upper) + 1
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
            out += asciiUpper(static_cast<char>(c));
            ++i;
            continue;
        }
        // A well-formed character of two or three bytes (no surrogate), whose capital is too.
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
