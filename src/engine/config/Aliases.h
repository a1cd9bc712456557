#pragma once

#include "engine/config/ConfigTree.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace wk::engine::aliases {

/// An alias is the configuration node `\DATABASES\<alias>\DB INFO` with the entry `PATH` naming
/// the folder of its table files (a drive path such as `C:\Data` works on every platform).

/// Sets or creates an alias in `tree`.
void set(ConfigTree& tree, const std::string& alias, const std::string& folder);

/// Every alias with its folder as stored, in stored order.
std::vector<std::pair<std::string, std::string>> list(const ConfigTree& tree);

/// True when the alias exists.
bool exists(const ConfigTree& tree, const std::string& alias);

/// The folder of an alias on this machine. Raises EngineError (NotFound) naming the alias when
/// it does not exist or names no folder.
std::filesystem::path folder(const ConfigTree& tree, const std::string& alias);

} // namespace wk::engine::aliases
