#pragma once

#include <string>
#include <string_view>

namespace wk::tools {

/// `text` as HTML text: <, >, & and " escaped, each line break (\n or \r\n) a <br>.
inline std::string htmlText(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\r':
            if (i + 1 < text.size() && text[i + 1] == '\n')
                break;
            [[fallthrough]];
        case '\n':
            out += "<br>";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace wk::tools
