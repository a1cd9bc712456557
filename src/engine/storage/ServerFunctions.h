#pragma once

#include <string>
#include <vector>

namespace wk::engine {

/// The statements, one each, that create or replace the server's functions that translated
/// statements and the server's search indexes call: wk_upper, the engine's Upper (the simple
/// one-to-one upper-case mapping of every character); wk_lower, the engine's Lower (the full
/// lower-case mapping without locale, with the final form of sigma); wk_ascii_upper, ASCII
/// letters in capitals. Each is IMMUTABLE and PARALLEL SAFE and independent of the database's
/// locale.
std::vector<std::string> postgresFunctionsSql();

} // namespace wk::engine
