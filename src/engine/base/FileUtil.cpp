#include "engine/base/FileUtil.h"

#include "engine/base/EngineError.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace wk::engine::fileutil {
namespace {

EngineError ioError(const std::string& what, const std::filesystem::path& path, int err) {
    return EngineError(ErrorCode::Io, what + " '" + path.string() + "': " + std::strerror(err));
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

constexpr std::string_view kTemporaryMark = ".tmp.";

bool allDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// True for `<fileName>.tmp.<digits>.<digits>`, the name writeFileAtomically gives a temporary.
bool isTemporaryOf(std::string_view name, std::string_view fileName) {
    if (!name.starts_with(fileName) || !name.substr(fileName.size()).starts_with(kTemporaryMark))
        return false;
    const std::string_view rest = name.substr(fileName.size() + kTemporaryMark.size());
    const size_t dot = rest.find('.');
    return dot != std::string_view::npos && allDigits(rest.substr(0, dot)) &&
           allDigits(rest.substr(dot + 1));
}

// Holds back the signals that end a program for the object's lifetime (this thread only); one
// that arrives meanwhile is delivered when the object goes.
class HeldSignals {
public:
    HeldSignals() {
        sigset_t set;
        sigemptyset(&set);
        for (int sig : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGXFSZ})
            sigaddset(&set, sig);
        held_ = ::pthread_sigmask(SIG_BLOCK, &set, &before_) == 0;
    }
    ~HeldSignals() {
        if (held_)
            ::pthread_sigmask(SIG_SETMASK, &before_, nullptr);
    }
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;

private:
    sigset_t before_;
    bool held_ = false;
};

mode_t modeOf(FileAccess access) {
    return access == FileAccess::OwnerOnly ? 0600 : 0644;
}

// Opens a file made anew beside `file` under a temporary name, which goes to `tmp`. O_EXCL
// creates the file or fails, and with O_NOFOLLOW a symbolic link in the name's place is never
// followed: whatever stands there already (another user's link in a shared folder) is left alone
// and another name is tried. Returns the descriptor, or -1 with errno set.
int createTemporary(const std::filesystem::path& file, mode_t mode, std::filesystem::path& tmp) {
    std::random_device rd;
    for (int attempt = 0;; ++attempt) {
        tmp = file.string() + std::string(kTemporaryMark) + std::to_string(::getpid()) + "." +
              std::to_string(rd());
        const int fd =
            ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST || attempt == 15)
            return fd;
    }
}

} // namespace

std::string readFile(const std::filesystem::path& file) {
    // Not blocking: a pipe in the file's place is refused below instead of waiting for a writer.
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        throw ioError("Cannot read", file, errno);
    auto fail = [&](const std::string& why) {
        ::close(fd);
        return EngineError(ErrorCode::Io, "Cannot read '" + file.string() + "': " + why);
    };
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw fail(std::strerror(errno));
    if (S_ISDIR(st.st_mode))
        throw fail("it is a folder, not a file");
    if (!S_ISREG(st.st_mode))
        throw fail("it is not a plain file");
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw fail(std::strerror(errno));
        if (n == 0)
            break;
        content.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return content;
}

std::filesystem::path writeTemporary(const std::filesystem::path& file, const std::string& content,
                                     FileAccess access) {
    const HeldSignals held;
    std::filesystem::path tmp;
    const int fd = createTemporary(file, modeOf(access), tmp);
    if (fd < 0)
        throw ioError("Cannot write", file, errno);
    int err = 0;
    if (!writeAll(fd, content.data(), content.size()) || ::fsync(fd) != 0)
        err = errno ? errno : EIO;
    if (::close(fd) != 0 && err == 0)
        err = errno;
    if (err != 0) {
        ::unlink(tmp.c_str());
        throw ioError("Cannot write", file, err);
    }
    return tmp;
}

void moveIntoPlace(const std::filesystem::path& temporary, const std::filesystem::path& file) {
    if (::rename(temporary.c_str(), file.c_str()) != 0) {
        const int err = errno;
        ::unlink(temporary.c_str());
        throw ioError("Cannot write", file, err);
    }
    // Make the rename itself durable.
    int dir = ::open(file.parent_path().empty() ? "." : file.parent_path().c_str(),
                     O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

void writeFileAtomically(const std::filesystem::path& file, const std::string& content,
                         FileAccess access) {
    const HeldSignals held;
    moveIntoPlace(writeTemporary(file, content, access), file);
}

void removeStaleTemporaries(const std::filesystem::path& file,
                            std::filesystem::file_time_type before) {
    namespace fs = std::filesystem;
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    const std::string fileName = file.filename().string();
    std::vector<fs::path> stale;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& p = it->path();
        std::error_code statEc;
        if (!isTemporaryOf(p.filename().string(), fileName) ||
            !fs::is_regular_file(fs::symlink_status(p, statEc)))
            continue;
        const fs::file_time_type changed = fs::last_write_time(p, statEc);
        if (!statEc && changed < before)
            stale.push_back(p);
    }
    for (const fs::path& p : stale)
        fs::remove(p, ec);
}

void createFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    if (std::filesystem::is_directory(folder, ec))
        return;
    if (std::filesystem::exists(folder, ec))
        throw EngineError(ErrorCode::Io, "Cannot create folder '" + folder.string() +
                                             "': a file stands in its place");
    std::filesystem::create_directories(folder, ec);
    if (ec)
        throw EngineError(ErrorCode::Io,
                          "Cannot create folder '" + folder.string() + "': " + ec.message());
}

void requireWritableFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        throw EngineError(ErrorCode::Io, "Folder '" + folder.string() + "' does not exist");
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        throw ioError("Cannot write in folder", folder, errno);
}

std::string notWritableReason(const std::filesystem::path& path, WriteTarget target, int err) {
    const std::string named =
        (target == WriteTarget::File ? "the file '" : "the folder '") + path.string() + "'";
    if (err == EROFS)
        return named + " is on a read-only file system";
    return named + " cannot be written: " + std::strerror(err);
}

std::string whyNotWritable(const std::filesystem::path& path, WriteTarget target) {
    // Files are made in a folder that can be written and searched.
    const int mode = target == WriteTarget::File ? W_OK : W_OK | X_OK;
    if (::faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0)
        return {};
    return notWritableReason(path, target, errno);
}

FileLock::FileLock(const std::string& lockFile, FileAccess access) {
    fd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, modeOf(access));
    if (fd_ < 0)
        throw ioError("Cannot lock", lockFile, errno);
    // A lock file of ours left open to others by an earlier version: anyone who can open it can
    // hold the lock.
    struct stat st {};
    if (access == FileAccess::OwnerOnly && ::fstat(fd_, &st) == 0 && st.st_uid == ::geteuid() &&
        (st.st_mode & 077) != 0)
        ::fchmod(fd_, st.st_mode & 0700);
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            int err = errno;
            ::close(fd_);
            throw ioError("Cannot lock", lockFile, err);
        }
    }
    acquired_ = std::filesystem::file_time_type::clock::now();
}

FileLock::~FileLock() {
    if (fd_ >= 0) {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
    }
}

} // namespace wk::engine::fileutil
