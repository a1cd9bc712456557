#pragma once

// Whether a text holds another, for checks on what a program printed or a message said.

#include <string>

namespace wk::testing {

inline bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace wk::testing
