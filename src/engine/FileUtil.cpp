#include "engine/FileUtil.h"

#include "engine/EngineError.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/file.h>
#include <unistd.h>

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

} // namespace

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw ioError("Cannot read", file, errno ? errno : EIO);
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad())
        throw ioError("Cannot read", file, EIO);
    return ss.str();
}

void writeFileAtomically(const std::filesystem::path& file, const std::string& content) {
    std::random_device rd;
    const std::filesystem::path tmp =
        file.string() + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(rd());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        throw ioError("Cannot write", file, errno);
    bool ok = writeAll(fd, content.data(), content.size()) && ::fsync(fd) == 0;
    int err = errno;
    ok = (::close(fd) == 0) && ok;
    if (!ok || ::rename(tmp.c_str(), file.c_str()) != 0) {
        if (ok)
            err = errno;
        ::unlink(tmp.c_str());
        throw ioError("Cannot write", file, err ? err : EIO);
    }
    // Make the rename itself durable.
    int dir = ::open(file.parent_path().empty() ? "." : file.parent_path().c_str(),
                     O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
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

FileLock::FileLock(const std::string& lockFile) {
    fd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0)
        throw ioError("Cannot lock", lockFile, errno);
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            int err = errno;
            ::close(fd_);
            throw ioError("Cannot lock", lockFile, err);
        }
    }
}

FileLock::~FileLock() {
    if (fd_ >= 0) {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
    }
}

} // namespace wk::engine::fileutil
