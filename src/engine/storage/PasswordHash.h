#pragma once

#include <string>
#include <vector>

// Passwords of protected tables are kept as salted PBKDF2-SHA256 hashes (20,000 rounds), both in
// table files and on servers.

namespace wk::engine::password {

/// The hash of `password` with `saltHex`, as 64 hexadecimal digits.
std::string hash(const std::string& password, const std::string& saltHex);

/// A new random salt (also a fresh random mark), as 32 hexadecimal digits.
std::string newSalt();

/// Whether one of `passwords` hashes to `stored` with `saltHex`.
bool anyMatches(const std::vector<std::string>& passwords, const std::string& saltHex,
                const std::string& stored);

} // namespace wk::engine::password
