#pragma once

#include <filesystem>
#include <string>

namespace wk::engine::fileutil {

/// Reads a whole file. Raises EngineError (Io) naming it when it cannot be read, and when a folder
/// or anything else that is not a plain file stands in its place.
std::string readFile(const std::filesystem::path& file);

/// Writes `content` to a temporary file in the same folder (`<file>.tmp.<process>.<number>`),
/// flushes it to disk and renames it over `file`. Raises EngineError (Io) naming the file, and
/// leaves the old file untouched and no temporary behind, when any step fails (for example a full
/// disk). While the temporary exists the signals that end a program (hangup, interrupt, quit,
/// terminate, file size limit exceeded) are held back, so that a write they cut off still removes
/// its temporary; they arrive when the write is over.
void writeFileAtomically(const std::filesystem::path& file, const std::string& content);

/// Removes the temporaries of `file` that writes cut off by a crash or a kill left behind: the
/// files beside it named as writeFileAtomically names its temporaries and last changed before
/// `before`. Meant for a writer that holds the file's lock, passing the moment it took it: every
/// temporary older than that belongs to a writer that is gone. Nothing else is touched, and a
/// temporary that cannot be removed is left.
void removeStaleTemporaries(const std::filesystem::path& file,
                            std::filesystem::file_time_type before);

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

    /// When the lock was taken.
    std::filesystem::file_time_type acquired() const { return acquired_; }

private:
    int fd_ = -1;
    std::filesystem::file_time_type acquired_;
};

} // namespace wk::engine::fileutil
