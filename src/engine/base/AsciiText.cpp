#include "engine/base/AsciiText.h"

#include <algorithm>

namespace wk::engine {

void asciiUpperInPlace(std::string& text) {
    for (char& c : text)
        c = asciiUpper(c);
}

std::string asciiUpper(std::string text) {
    asciiUpperInPlace(text);
    return text;
}

std::string asciiLower(std::string text) {
    for (char& c : text)
        c = asciiLower(c);
    return text;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return asciiUpper(x) == asciiUpper(y);
           });
}

} // namespace wk::engine
