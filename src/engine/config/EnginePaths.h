#pragma once

#include <filesystem>
#include <string>

namespace wk::engine {

/// Where the engine keeps its files for the current user.
///
/// The configuration file lives in `$XDG_CONFIG_HOME/wikabay-engine` (default
/// `~/.config/wikabay-engine`), the engine's own data (the folders behind drive letters) in
/// `$XDG_DATA_HOME/wikabay-engine` (default `~/.local/share/wikabay-engine`). On Windows both are
/// below the roaming application-data folder. Tests isolate themselves by setting the two
/// variables.
///
/// The home folder is HOME, or, when it is unset or empty, the one the user database gives the
/// user (USERPROFILE on Windows). When there is none, the functions below that need it raise
/// EngineError (NotFound) saying what is missing: the engine's files, which may hold passwords,
/// never go to a folder shared with other users instead.
namespace paths {

std::filesystem::path configDir();
std::filesystem::path configFile();
std::filesystem::path dataDir();

/// Turns a path as stored in the configuration into a path of this machine. On Windows it is
/// returned unchanged. Elsewhere a drive path such as `C:\BdeNetDir` maps to
/// `<dataDir>/drives/c/BdeNetDir` (backslashes become separators, the letter is lower-cased);
/// any other path only has its backslashes turned into separators.
std::filesystem::path toNative(const std::string& configuredPath);

} // namespace paths
} // namespace wk::engine
