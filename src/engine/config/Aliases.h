#pragma once

#include "engine/config/ConfigTree.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wk::engine::aliases {

/// An alias is the configuration node `\DATABASES\<alias>\DB INFO` with the entry `PATH` naming
/// the folder of its table files (a drive path such as `C:\Data` works on every platform), or a
/// PostgreSQL database as a libpq URI (`postgresql://user@host/db?...`) or key=value connection
/// string (`host=/tmp/pg port=5499 dbname=school`); TYPE is then POSTGRESQL.

/// Whether `target` is a server's address rather than a folder: a libpq URI ("postgresql://..."
/// or "postgres://...", any letter case) or a key=value connection string (text that begins with
/// a keyword of small letters and underscores followed by '=', spaces allowed around them). Only
/// the shape is looked at; libpq's parser (pgconninfo::check) tells whether it is valid.
bool isServerAddress(std::string_view target);

/// What an alias names: a folder on this machine, or a server's address (exactly one is set).
struct Target {
    std::filesystem::path folder;
    std::string server;
};

/// Sets or creates an alias in `tree`.
void set(ConfigTree& tree, const std::string& alias, const std::string& folder);

/// Every alias with its folder (or server address) as stored, in stored order.
std::vector<std::pair<std::string, std::string>> list(const ConfigTree& tree);

/// True when the alias exists.
bool exists(const ConfigTree& tree, const std::string& alias);

/// What the alias names. Raises EngineError (NotFound) naming the alias when it does not exist
/// or names nothing.
Target target(const ConfigTree& tree, const std::string& alias);

/// The folder of an alias on this machine. Raises EngineError (NotFound) naming the alias when
/// it does not exist or names no folder, InvalidArgument when it names a server.
std::filesystem::path folder(const ConfigTree& tree, const std::string& alias);

} // namespace wk::engine::aliases
