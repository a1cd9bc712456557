#include "UnicodeText.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace wk::engine {

std::string toUpperUtf8(std::string_view text) {
    std::string out(text);
    bool ascii = true;
    for (char& c : out) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80) {
            ascii = false;
            break;
        }
        if (u >= 'a' && u <= 'z')
            c = static_cast<char>(u - ('a' - 'A'));
    }
    if (ascii)
        return out;
    icu::UnicodeString s = icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    s.toUpper(icu::Locale::getRoot());
    out.clear();
    s.toUTF8String(out);
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
