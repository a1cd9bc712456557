#pragma once

// The statement the dictionary window builds for a search text, for the tests that run it on
// table files and on a server.

#include <string>

namespace wk::engine::test {

/// The fields the window searches beside Tagalo, in the order its statement names them.
inline constexpr const char* kSearched[] = {"English", "ActiveVerb", "PassiveVerb", "L2Definition",
                                            "Examples"};

/// The window's statement for `text` as its edit gives it (in capitals): every searched field
/// in capitals like "%text%", a double quote doubled.
inline std::string windowStatement(const std::string& text) {
    std::string quoted;
    for (char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    const std::string pattern = "\"%" + quoted + "%\"";
    std::string line = "SELECT * FROM Tagalog WHERE Upper(Tagalo) like " + pattern;
    for (const char* field : kSearched)
        line += std::string(" OR Upper(") + field + ") like " + pattern;
    return line;
}

} // namespace wk::engine::test
