#pragma once

// What the fuzz targets share. A broken promise is reported with what went in and what came out,
// and ends the run with abort(), which libFuzzer records as a crash and saves the input for. The
// targets build a report only once a check has failed: building it for every input would slow
// the fuzzing down.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace wk::fuzz {

[[noreturn]] inline void failure(const std::string& what) {
    std::fprintf(stderr, "\n*** %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

inline std::string text(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

/// The bytes of `s` with everything but printable ASCII escaped, for messages.
inline std::string shown(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out + "\"";
}

} // namespace wk::fuzz
