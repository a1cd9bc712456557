#pragma once

#include <string>
#include <string_view>
#include <vector>

/// Letter case of ASCII text: names of fields, tables, aliases, configuration paths and SQL words,
/// which the engine matches without regard to case. Bytes outside A-Z and a-z (and so every byte
/// of a UTF-8 character beyond ASCII) are left as they are; Unicode text has UnicodeText.h.
namespace wk::engine {

/// The capital of an ASCII letter; any other byte as it is.
constexpr char asciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c;
}

/// The small letter of an ASCII letter; any other byte as it is.
constexpr char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

/// `text` with its ASCII letters in capitals.
std::string asciiUpper(std::string text);
/// `text` with its ASCII letters in small letters.
std::string asciiLower(std::string text);
/// Puts the ASCII letters of `text` in capitals where it stands.
void asciiUpperInPlace(std::string& text);

/// Compares two names without regard to ASCII letter case.
bool equalsIgnoreCase(std::string_view a, std::string_view b);

/// The position of the first of `names` that repeats an earlier one without regard to ASCII
/// letter case (as equalsIgnoreCase), or names.size() when none does. One pass over the names,
/// however many there are.
size_t firstRepeatIgnoringCase(const std::vector<std::string>& names);

} // namespace wk::engine
