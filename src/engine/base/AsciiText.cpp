#include "engine/base/AsciiText.h"

#include <algorithm>
#include <unordered_set>

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

size_t firstRepeatIgnoringCase(const std::vector<std::string>& names) {
    // The names seen so far in capitals.
    std::unordered_set<std::string> seen;
    seen.reserve(names.size());
    for (size_t i = 0; i < names.size(); ++i)
        if (!seen.insert(asciiUpper(names[i])).second)
            return i;
    return names.size();
}

} // namespace wk::engine
