#pragma once

#include <filesystem>
#include <string>

namespace wk::engine::fileutil {

/// Reads a whole file. Raises EngineError (Io) naming it when it cannot be read, and when a folder
/// or anything else that is not a plain file stands in its place.
std::string readFile(const std::filesystem::path& file);

/// Who may read a file written here besides its owner (the process's umask may take more away).
enum class FileAccess {
    ReadableByAll, ///< 0644: the owner writes, everyone reads
    OwnerOnly      ///< 0600: the owner alone reads and writes (a file that may hold passwords)
};

/// Writes `content` to a new temporary file beside `file` (`<file>.tmp.<process>.<number>`),
/// flushes it to disk and returns its path. The temporary is always a file made anew: nothing that
/// stands under its name, a file or a symbolic link planted there by another user, is opened or
/// followed (another name is tried). Raises EngineError (Io) naming `file`, and leaves no
/// temporary behind, when any step fails. The caller renames the temporary into place (see
/// moveIntoPlace) or removes it.
std::filesystem::path writeTemporary(const std::filesystem::path& file, const std::string& content,
                                     FileAccess access = FileAccess::ReadableByAll);

/// Renames `temporary` over `file` (a symbolic link at `file` is replaced, not followed) and
/// flushes the folder so that the rename is on disk. Raises EngineError (Io) naming `file`, and
/// removes the temporary, when the rename fails.
void moveIntoPlace(const std::filesystem::path& temporary, const std::filesystem::path& file);

/// Writes `content` to a temporary file as writeTemporary does and renames it over `file`. Raises
/// EngineError (Io) naming the file, and leaves the old file untouched and no temporary behind,
/// when any step fails (for example a full disk). The new file has the permissions of `access`
/// whatever the old one had. While the temporary exists the signals that end a program (hangup,
/// interrupt, quit, terminate, file size limit exceeded) are held back, so that a write they cut
/// off still removes its temporary; they arrive when the write is over.
void writeFileAtomically(const std::filesystem::path& file, const std::string& content,
                         FileAccess access = FileAccess::ReadableByAll);

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

/// What is to be written: a file to be changed, or a folder in which files are to be made.
enum class WriteTarget { File, Folder };

/// Why `path` cannot be written, from the system's error `err` (an errno value), naming the path:
/// "the folder '/media/cd' is on a read-only file system" for EROFS, otherwise the system's reason
/// ("the file '/tables/Tagalog.db' cannot be written: Permission denied").
std::string notWritableReason(const std::filesystem::path& path, WriteTarget target, int err);

/// Why this process, as it acts now (its effective identity, which access(2) would not tell),
/// cannot write `path` as `target` says, in the words of notWritableReason; empty when it can.
std::string whyNotWritable(const std::filesystem::path& path, WriteTarget target);

/// An exclusive advisory lock on a lock file, held for the object's lifetime. The lock file is
/// made with the permissions of `access`; one of OwnerOnly that is found open to others is made
/// private again, so that no other user can open it and hold the lock.
class FileLock {
public:
    explicit FileLock(const std::string& lockFile, FileAccess access = FileAccess::ReadableByAll);
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
