#pragma once

#include "engine/config/ConfigTree.h"

#include <filesystem>
#include <functional>

namespace wk::engine {

/// The persistent configuration file (see paths::configFile).
///
/// Reading a missing file gives ConfigTree::defaults(). Every change is a read-modify-write under
/// an exclusive lock on a lock file beside it, written to a temporary file that is flushed and
/// then renamed over the old one: two programs changing the file at the same moment both see
/// their change kept, and a crash leaves the old or the new file, never half of one. A write
/// that fails leaves no temporary file behind, and every successful one removes those that
/// earlier writes cut off by a crash or a kill left. An alias may name a server with its password,
/// so the file and its lock file are written readable by their owner alone (0600), a file of an
/// earlier version made readable by all included.
class ConfigStore {
public:
    /// Uses the per-user file of the engine.
    ConfigStore();
    explicit ConfigStore(std::filesystem::path file);

    const std::filesystem::path& file() const { return file_; }

    /// The current configuration. Raises EngineError (Corrupt, Io) naming the file when it cannot
    /// be read or parsed, or when a folder or anything but a plain file stands in its place; a
    /// damaged file is never overwritten.
    ConfigTree load() const;

    /// Applies `change` to the current configuration and stores the result atomically.
    void update(const std::function<void(ConfigTree&)>& change) const;

private:
    std::filesystem::path file_;
};

} // namespace wk::engine
