#pragma once

#include <string>
#include <string_view>

// Texts written into statements for a PostgreSQL server without a connection at hand.

namespace wk::engine {

/// `value` as a string literal whose backslashes are plain characters, whatever the server's
/// standard_conforming_strings says.
inline std::string pgLiteral(std::string_view value) {
    const bool escaped = value.find('\\') != std::string::npos;
    std::string out = escaped ? "E'" : "'";
    for (char c : value) {
        if (c == '\'' || (escaped && c == '\\'))
            out += c;
        out += c;
    }
    return out + "'";
}

/// `name` as a quoted identifier.
inline std::string pgIdentifier(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"')
            out += c;
        out += c;
    }
    return out + "\"";
}

} // namespace wk::engine
