// The POSIX backend: files of the real file system through file descriptors.
#include <dirent.h>
#include <fcntl.h>
#include <cstdio>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "platform/posix/errno_map.h"
#include "platform/file_backend.h"

namespace nx {

namespace {

// An exclusive lock that another open file description holds on the file: an fcntl
// lock (open-file-description or process-associated) or an flock lock.
bool heldExclusively(int fd) {
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 0;
    int rc = ::fcntl(fd, F_OFD_GETLK, &fl);
    if (rc != 0) {
        fl = {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        rc = ::fcntl(fd, F_GETLK, &fl);
    }
    if (rc == 0 && fl.l_type == F_WRLCK) return true;
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0) return errno == EWOULDBLOCK;
    (void)::flock(fd, LOCK_UN);  // our probe's shared lock, taken just now
    return false;
}

class PosixBackend final : public FileBackend {
public:
    std::string matchEntry(const std::string& dir, const std::string& name) const override {
        return hostDirectories().matchEntry(dir, name);
    }

    ResultCode open(const std::string& path, Access access, bool create, Handle& h) override {
        h = -1;
        int flags = O_CLOEXEC | (access == Access::Read    ? O_RDONLY
                                 : access == Access::Write ? O_WRONLY
                                                           : O_RDWR);
        if (create) flags |= O_CREAT;
        const bool wantsWrite = access != Access::Read;
        struct stat before {};
        const bool existed = ::stat(path.c_str(), &before) == 0;
        if (existed && S_ISDIR(before.st_mode)) return kAccessDenied;
        const int fd = ::open(path.c_str(), flags, 0666);
        if (fd < 0) return resultFromErrno(errno, path);
        struct stat st {};
        ResultCode rc = kOk;
        if (::fstat(fd, &st) != 0)
            rc = resultFromErrno(errno, path);
        else if (existed && wantsWrite && (st.st_mode & S_IWUSR) == 0)
            rc = kAccessDenied;
        else if (existed && heldExclusively(fd))
            rc = kSharingViolation;
        else if (create && existed && S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0)
            rc = resultFromErrno(errno, path);
        if (rc != kOk) {
            ::close(fd);
            return rc;
        }
        h = fd;
        return kOk;
    }

    ResultCode read(Handle h, std::int64_t offset, void* buffer, std::size_t max,
                    std::size_t& got) override {
        got = 0;
        auto* out = static_cast<char*>(buffer);
        while (got < max) {
            const ssize_t n = ::pread(h, out + got, max - got, static_cast<off_t>(offset) +
                                                                 static_cast<off_t>(got));
            if (n < 0) {
                if (errno == EINTR) continue;
                return resultFromErrno(errno, {});
            }
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
        }
        return kOk;
    }

    ResultCode write(Handle h, std::int64_t offset, const void* data, std::size_t count) override {
        const auto* in = static_cast<const char*>(data);
        while (count > 0) {
            const ssize_t n = ::pwrite(h, in, count, static_cast<off_t>(offset));
            if (n < 0) {
                if (errno == EINTR) continue;
                return resultFromErrno(errno, {});
            }
            if (n == 0) return kDiskFull;
            in += n;
            count -= static_cast<std::size_t>(n);
            offset += n;
        }
        return kOk;
    }

    ResultCode size(Handle h, std::int64_t& bytes) override {
        struct stat st {};
        if (::fstat(h, &st) != 0) return resultFromErrno(errno, {});
        bytes = static_cast<std::int64_t>(st.st_size);
        return kOk;
    }

    ResultCode truncate(Handle h, std::int64_t bytes) override {
        if (::ftruncate(h, static_cast<off_t>(bytes)) != 0) return resultFromErrno(errno, {});
        return kOk;
    }

    ResultCode close(Handle h) override {
        if (::close(h) != 0 && errno != EINTR) return resultFromErrno(errno, {});
        return kOk;
    }

    ResultCode erase(const std::string& path) override {
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return kAccessDenied;
        if (::unlink(path.c_str()) != 0) return resultFromErrno(errno, path);
        return kOk;
    }

    ResultCode probe(const std::string& path, FileProbe& out) override {
        out = FileProbe{};
        // Opened for reading only: a descriptor of ours open for writing would count
        // as a writer itself.
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) return resultFromErrno(errno, path);
        struct stat st {};
        if (::fstat(fd, &st) != 0) {
            const int err = errno;
            ::close(fd);
            return resultFromErrno(err, path);
        }
        out.size = static_cast<std::int64_t>(st.st_size);
        out.modifiedNs =
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
#if defined(__linux__)
        // A read lease is refused with EAGAIN while any descriptor has the file open
        // for writing. It is given back at once; a writer that opens the file in that
        // moment breaks it with a signal that is ignored by default, instead of SIGIO.
        // Any other refusal (a file of another user, a file system without leases)
        // leaves the answer unknown.
        (void)::fcntl(fd, F_SETSIG, SIGURG);  // best effort: SIGIO is the fallback
        if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
            (void)::fcntl(fd, F_SETLEASE, F_UNLCK);  // ours alone; closing drops it too
            out.writers = Writers::None;
        } else if (errno == EAGAIN) {
            out.writers = Writers::Present;
        }
#endif
        ::close(fd);
        return kOk;
    }

    ResultCode listFiles(const std::string& dir, std::vector<DirEntry>& out) override {
        out.clear();
        DIR* d = ::opendir(dir.c_str());
        if (!d) return errno == ENOTDIR ? kPathNotFound : resultFromErrno(errno, dir + "/");
        const int dfd = ::dirfd(d);
        errno = 0;
        while (const dirent* e = ::readdir(d)) {
            struct stat st {};
            // Links are followed: a link to a job is that job.
            if (::fstatat(dfd, e->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)) continue;
            out.push_back({e->d_name, static_cast<std::int64_t>(st.st_size),
                           static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec});
        }
        ::closedir(d);
        return kOk;
    }

    ResultCode replace(const std::string& from, const std::string& to) override {
        if (std::rename(from.c_str(), to.c_str()) != 0) return resultFromErrno(errno, to);
        return kOk;
    }

    ResultCode createDirectory(const std::string& dir) override {
        if (::mkdir(dir.c_str(), 0777) == 0) return kOk;
        struct stat st {};
        if (errno == EEXIST && ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return kOk;
        return resultFromErrno(errno, dir + "/");
    }

    Clock& clock() override { return clock_; }

private:
    SystemClock clock_;
};

}  // namespace

FileBackend& posixBackend() {
    static PosixBackend instance;
    return instance;
}

FileBackend& systemBackend() { return posixBackend(); }

}  // namespace nx
