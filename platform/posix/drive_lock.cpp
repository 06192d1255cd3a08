#include "platform/drive_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace nx {

DriveLock::~DriveLock() {
    if (fd_ >= 0) ::close(fd_);
}

DriveLock::Result DriveLock::acquire(const std::string& dir) {
    if (fd_ >= 0) return Result::Acquired;
    // Not inherited by the programs the service starts (the mail program), so the
    // lock ends with this process.
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return Result::Unknown;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        fd_ = fd;
        return Result::Acquired;
    }
    const int err = errno;
    ::close(fd);
    return err == EWOULDBLOCK ? Result::Held : Result::Unknown;
}

}  // namespace nx
