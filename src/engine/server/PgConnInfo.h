#pragma once

#include <string>
#include <string_view>
#include <vector>

// Reading libpq connection strings for messages: what the engine may say about a server, and
// never its password.

namespace wk::engine::pgconninfo {

/// Raises PgError (InvalidArgument) when `conninfo` is neither a libpq URI
/// ("postgresql://..." or "postgres://...") nor a key=value connection string, with libpq's
/// reason and any password written in `conninfo` masked.
void check(const std::string& conninfo);

/// The passwords written in `conninfo` as they are written (the part after "user:" in a URI,
/// and every password= value, quoted or in percent-encoding as given).
std::vector<std::string> writtenPasswords(std::string_view conninfo);

/// `conninfo` as it is written but with each password in it (see writtenPasswords) replaced by
/// "***", and nothing else: the form in which an address is shown.
std::string maskedAddress(std::string_view conninfo);

/// `text` with every password written in `conninfo` replaced by "***".
std::string maskPasswords(std::string text, std::string_view conninfo);

/// A message of libpq on one line: its lines joined by a space, its trailing newline gone.
std::string oneLine(std::string_view message);

} // namespace wk::engine::pgconninfo
