#pragma once

#include <filesystem>
#include <string>

namespace wk::engine::fileutil {

/// Reads a whole file; raises EngineError (Io) naming it when it cannot be read.
std::string readFile(const std::filesystem::path& file);

/// Writes `content` to a temporary file in the same folder, flushes it to disk and renames it over
/// `file`. Raises EngineError (Io) naming the file, and leaves the old file untouched, when any
/// step fails (for example a full disk).
void writeFileAtomically(const std::filesystem::path& file, const std::string& content);

/// Creates a folder and its parents when missing. Raises EngineError (Io) naming the folder when
/// it cannot be created or a file stands in its place.
void createFolder(const std::filesystem::path& folder);

/// Raises EngineError (Io) naming the folder unless it is a folder in which files can be created.
void requireWritableFolder(const std::filesystem::path& folder);

/// An exclusive advisory lock on a lock file, held for the object's lifetime.
class FileLock {
public:
    explicit FileLock(const std::string& lockFile);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int fd_ = -1;
};

} // namespace wk::engine::fileutil
