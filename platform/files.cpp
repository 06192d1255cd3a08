// POSIX backend of the DOS file layer: drive table, byte files, text files and the
// mapping of errno onto DOS result codes.
#include "platform/files.h"

#include "platform/cp1250_utf8.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace nx {

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;
constexpr std::size_t kWriteChunk = 64 * 1024;

// Further codes of the DOS numbering used below.
constexpr int kGeneralFailure = 31;
constexpr int kNotOpenForInput = 104;
constexpr int kNotOpenForOutput = 105;
constexpr int kNegativeSeek = 131;

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string parentOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The entry of `dir` whose name equals `name` ignoring letter case; an exact match wins.
// Empty when there is none (or the directory cannot be listed).
std::string matchEntry(const std::string& dir, const std::string& name) {
    if (name == "." || name == "..") return name;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return {};
    std::string found;
    while (const dirent* e = ::readdir(d)) {
        const std::string_view entry(e->d_name);
        if (entry == name) {
            found = name;
            break;
        }
        if (found.empty() && equalsNoCase(entry, name)) found = std::string(entry);
    }
    ::closedir(d);
    return found;
}

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
    ::flock(fd, LOCK_UN);
    return false;
}

// Opens `path` for the file layer. `create` makes a missing file and empties an
// existing one. An existing file that is read-only (owner write bit clear, like the
// DOS read-only attribute) refuses write access with 5 for every user; a file held
// under an exclusive lock gives 32. On failure `fd` stays -1.
int openHost(const std::string& path, int accessFlags, bool create, int& fd) {
    fd = -1;
    int flags = accessFlags | O_CLOEXEC;
    if (create) flags |= O_CREAT;
    const bool wantsWrite = (accessFlags & O_ACCMODE) != O_RDONLY;
    struct stat before {};
    const bool existed = ::stat(path.c_str(), &before) == 0;
    if (existed && S_ISDIR(before.st_mode)) return kAccessDenied;
    const int h = ::open(path.c_str(), flags, 0666);
    if (h < 0) return resultFromErrno(errno, path);
    struct stat st {};
    if (::fstat(h, &st) != 0) {
        const int err = errno;
        ::close(h);
        return resultFromErrno(err, path);
    }
    if (existed && wantsWrite && (st.st_mode & S_IWUSR) == 0) {
        ::close(h);
        return kAccessDenied;
    }
    if (existed && heldExclusively(h)) {
        ::close(h);
        return kSharingViolation;
    }
    if (create && existed && S_ISREG(st.st_mode) && ::ftruncate(h, 0) != 0) {
        const int err = errno;
        ::close(h);
        return resultFromErrno(err, path);
    }
    fd = h;
    return kOk;
}

int writeAllAt(int fd, const std::uint8_t* data, std::size_t count, std::int64_t offset,
               const std::string& path) {
    while (count > 0) {
        const ssize_t n = ::pwrite(fd, data, count, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return resultFromErrno(errno, path);
        }
        if (n == 0) return kDiskFull;
        data += n;
        count -= static_cast<std::size_t>(n);
        offset += n;
    }
    return kOk;
}

int writeAll(int fd, const char* data, std::size_t count, const std::string& path) {
    while (count > 0) {
        const ssize_t n = ::write(fd, data, count);
        if (n < 0) {
            if (errno == EINTR) continue;
            return resultFromErrno(errno, path);
        }
        if (n == 0) return kDiskFull;
        data += n;
        count -= static_cast<std::size_t>(n);
    }
    return kOk;
}

int eraseHost(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return kAccessDenied;
    if (::unlink(path.c_str()) != 0) return resultFromErrno(errno, path);
    return kOk;
}

}  // namespace

// ---------------------------------------------------------------- messages

std::string ioMessage(int code) {
    switch (code) {
        case 2: return "File not found";
        case 3: return "Invalid filename";
        case 4: return "Too many open files";
        case 5: return "File access denied";
        case 100: return "Read beyond end of file";
        case 101: return "Disk full";
        case 106: return "Invalid numeric input";
        default: return "I/O error " + std::to_string(code);
    }
}

std::string withFullStop(std::string message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') message += '.';
    return message;
}

IoError::IoError(int code) : std::runtime_error(ioMessage(code)), code_(code) {}

int resultFromErrno(int err, const std::string& hostPath) {
    switch (err) {
        case 0: return kOk;
        case ENOENT: return isDirectory(parentOf(hostPath)) ? kFileNotFound : kPathNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP: return kPathNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR: return kAccessDenied;
        case EMFILE:
        case ENFILE: return kTooManyOpenFiles;
        case ENOSPC:
        case EDQUOT:
        case EFBIG: return kDiskFull;
        case EWOULDBLOCK:
        case EBUSY:
        case ETXTBSY: return kSharingViolation;
        case EBADF: return kFileNotOpen;
        default: return kGeneralFailure;
    }
}

const char* fileOpName(FileOp op) {
    switch (op) {
        case FileOp::Open: return "open";
        case FileOp::Create: return "create";
        case FileOp::Read: return "read";
        case FileOp::Write: return "write";
        case FileOp::Eof: return "eof";
        case FileOp::Size: return "size";
        case FileOp::Position: return "position";
        case FileOp::Seek: return "seek";
        case FileOp::Close: return "close";
        case FileOp::Delete: return "delete";
        case FileOp::Probe: return "probe";
    }
    return "?";
}

// ---------------------------------------------------------------- drive table

DriveTable::DriveTable(std::string driveC) : driveC_(std::move(driveC)) {
    while (driveC_.size() > 1 && driveC_.back() == '/') driveC_.pop_back();
}

DriveTable DriveTable::fromCommandLine(int argc, const char* const* argv) {
    static constexpr std::string_view kOption = "--drive-c";
    for (int i = 1; i < argc; ++i) {
        if (!argv[i]) continue;
        const std::string_view arg(argv[i]);
        if (arg == kOption && i + 1 < argc && argv[i + 1]) return DriveTable(argv[i + 1]);
        if (arg.size() > kOption.size() + 1 && arg.substr(0, kOption.size()) == kOption &&
            arg[kOption.size()] == '=')
            return DriveTable(std::string(arg.substr(kOption.size() + 1)));
    }
    if (const char* env = std::getenv("NORVEXA_DRIVE_C"); env && *env) return DriveTable(env);
    return DriveTable(defaultDriveC());
}

std::string DriveTable::defaultDriveC() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.local/share/norvexa/drive_c";
    return "/tmp/norvexa/drive_c";
}

std::string DriveTable::resolve(std::string_view dosPathIn) const {
    // Paths inside the program are code page 1250 text (a name typed with accents);
    // host names are UTF-8. A path that already is UTF-8 (a native path from the
    // command line) is taken as it stands.
    const std::string converted = isUtf8(dosPathIn) ? std::string() : cp1250ToUtf8(dosPathIn);
    const std::string_view dosPath = converted.empty() ? dosPathIn : std::string_view(converted);
    if (!dosPath.empty() && dosPath.front() == '/') return std::string(dosPath);

    std::string base;
    std::string_view rest = dosPath;
    bool matching = true;  // components are matched while every one before exists
    if (rest.size() >= 2 && rest[1] == ':' && (rest[0] == 'c' || rest[0] == 'C')) {
        base = driveC_;
        rest.remove_prefix(2);
    } else {
        char cwd[4096];
        base = ::getcwd(cwd, sizeof cwd) ? std::string(cwd) : std::string(".");
        matching = false;  // a relative name keeps its spelling
    }

    std::string out = base;
    std::size_t i = 0;
    while (i <= rest.size()) {
        std::size_t j = i;
        while (j < rest.size() && rest[j] != '\\' && rest[j] != '/') ++j;
        const std::string comp(rest.substr(i, j - i));
        if (!comp.empty()) {
            std::string name = comp;
            if (matching) {
                const std::string hit = matchEntry(out, comp);
                if (hit.empty())
                    matching = false;
                else
                    name = hit;
            }
            if (out.empty() || out.back() != '/') out += '/';
            out += name;
        }
        i = j + 1;
    }
    return out;
}

// ---------------------------------------------------------------- file system

int FileSystem::erase(std::string_view dosPath) {
    const std::string host = hostPath(dosPath);
    if (const int f = fault(FileOp::Delete, host)) return f;
    return eraseHost(host);
}

int FileSystem::probe(std::string_view dosPath, FileProbe& out) {
    out = FileProbe{};
    const std::string host = hostPath(dosPath);
    if (const int f = fault(FileOp::Probe, host)) return f;
    // Opened for reading only: a descriptor of ours open for writing would count as
    // a writer itself.
    const int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return resultFromErrno(errno, host);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return resultFromErrno(err, host);
    }
    out.size = static_cast<std::int64_t>(st.st_size);
    out.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
#if defined(__linux__)
    // A read lease is refused with EAGAIN while any descriptor has the file open for
    // writing. It is given back at once; a writer that opens the file in that moment
    // breaks it with a signal that is ignored by default, instead of SIGIO. Any
    // other refusal (a file of another user, a file system without leases) leaves
    // the answer unknown.
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

// ---------------------------------------------------------------- byte file

ByteFile::ByteFile(FileSystem& fs, std::size_t recordSize)
    : fs_(fs), recordSize_(recordSize == 0 ? 1 : recordSize) {}

ByteFile::~ByteFile() {
    if (fd_ >= 0) {
        flushWrites();
        ::close(fd_);
    }
}

void ByteFile::assign(std::string_view dosPath) {
    dosPath_ = std::string(dosPath);
    hostPath_ = fs_.hostPath(dosPath);
}

int ByteFile::reset() {
    if (const int f = fs_.fault(FileOp::Open, hostPath_)) return f;
    if (fd_ >= 0) close();
    rbuf_.clear();
    rbufOff_ = 0;
    wbuf_.clear();
    pos_ = 0;
    return openHost(hostPath_, O_RDWR, false, fd_);
}

int ByteFile::rewrite() {
    if (const int f = fs_.fault(FileOp::Create, hostPath_)) return f;
    if (fd_ >= 0) close();
    rbuf_.clear();
    rbufOff_ = 0;
    wbuf_.clear();
    pos_ = 0;
    return openHost(hostPath_, O_RDWR, true, fd_);
}

int ByteFile::flushWrites() {
    if (wbuf_.empty()) return kOk;
    const int rc = writeAllAt(fd_, wbuf_.data(), wbuf_.size(), wbufStart_, hostPath_);
    wbuf_.clear();
    return rc;
}

// read() found the read-ahead empty: fill it from the current position.
int ByteFile::readRefill(std::uint8_t& byte) {
    if (fd_ < 0) return kFileNotOpen;
    if (const int rc = flushWrites()) return rc;
    rbuf_.resize(kReadChunk);
    ssize_t n;
    do {
        n = ::pread(fd_, rbuf_.data(), rbuf_.size(), static_cast<off_t>(pos_));
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
        rbuf_.clear();
        rbufOff_ = 0;
        return n == 0 ? kReadBeyondEof : resultFromErrno(errno, hostPath_);
    }
    rbuf_.resize(static_cast<std::size_t>(n));
    rbufStart_ = pos_;
    rbufOff_ = 1;
    byte = rbuf_[0];
    ++pos_;
    return kOk;
}

int ByteFile::readBlock(std::uint8_t* buffer, std::size_t max, std::size_t& got) {
    got = 0;
    if (const int f = fs_.fault(FileOp::Read, hostPath_)) return f;
    if (fd_ < 0) return kFileNotOpen;
    if (rbufOff_ < rbuf_.size()) {
        const std::size_t n = std::min(max, rbuf_.size() - rbufOff_);
        std::memcpy(buffer, rbuf_.data() + rbufOff_, n);
        rbufOff_ += n;
        pos_ += static_cast<std::int64_t>(n);
        got = n;
        if (got == max) return kOk;
    }
    if (const int rc = flushWrites()) return rc;
    rbuf_.clear();
    rbufOff_ = 0;
    while (got < max) {
        const ssize_t n = ::pread(fd_, buffer + got, max - got, static_cast<off_t>(pos_));
        if (n < 0) {
            if (errno == EINTR) continue;
            return resultFromErrno(errno, hostPath_);
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
        pos_ += n;
    }
    return kOk;
}

int ByteFile::readRecord(void* record) {
    if (const int f = fs_.fault(FileOp::Read, hostPath_)) return f;
    if (fd_ < 0) return kFileNotOpen;
    if (const int rc = flushWrites()) return rc;
    auto* out = static_cast<std::uint8_t*>(record);
    std::size_t got = 0;
    // Serve what the read-ahead still holds, then read the rest directly.
    if (rbufOff_ < rbuf_.size()) {
        got = std::min(recordSize_, rbuf_.size() - rbufOff_);
        std::memcpy(out, rbuf_.data() + rbufOff_, got);
        rbufOff_ += got;
    }
    while (got < recordSize_) {
        const ssize_t n = ::pread(fd_, out + got, recordSize_ - got,
                                  static_cast<off_t>(pos_ + static_cast<std::int64_t>(got)));
        if (n < 0) {
            if (errno == EINTR) continue;
            pos_ += static_cast<std::int64_t>(got);
            return resultFromErrno(errno, hostPath_);
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    pos_ += static_cast<std::int64_t>(got);
    rbuf_.clear();
    rbufOff_ = 0;
    return got == recordSize_ ? kOk : kReadBeyondEof;
}

int ByteFile::write(std::uint8_t byte) {
    if (const int f = fs_.fault(FileOp::Write, hostPath_)) return f;
    if (fd_ < 0) return kFileNotOpen;
    rbuf_.clear();
    rbufOff_ = 0;
    if (!wbuf_.empty() && wbufStart_ + static_cast<std::int64_t>(wbuf_.size()) != pos_) {
        if (const int rc = flushWrites()) return rc;
    }
    if (wbuf_.empty()) wbufStart_ = pos_;
    wbuf_.push_back(byte);
    ++pos_;
    if (wbuf_.size() >= kWriteChunk) return flushWrites();
    return kOk;
}

int ByteFile::writeBlock(const std::uint8_t* data, std::size_t count) {
    if (const int f = fs_.fault(FileOp::Write, hostPath_)) return f;
    if (fd_ < 0) return kFileNotOpen;
    rbuf_.clear();
    rbufOff_ = 0;
    if (!wbuf_.empty() && (wbufStart_ + static_cast<std::int64_t>(wbuf_.size()) != pos_ ||
                           wbuf_.size() + count > kWriteChunk)) {
        if (const int rc = flushWrites()) return rc;
    }
    if (count >= kWriteChunk) {
        const int rc = writeAllAt(fd_, data, count, pos_, hostPath_);
        if (rc == kOk) pos_ += static_cast<std::int64_t>(count);
        return rc;
    }
    if (wbuf_.empty()) wbufStart_ = pos_;
    wbuf_.insert(wbuf_.end(), data, data + count);
    pos_ += static_cast<std::int64_t>(count);
    return kOk;
}

int ByteFile::writeRecord(const void* record) {
    if (const int f = fs_.fault(FileOp::Write, hostPath_)) return f;
    if (fd_ < 0) return kFileNotOpen;
    if (const int rc = flushWrites()) return rc;
    rbuf_.clear();
    rbufOff_ = 0;
    const int rc = writeAllAt(fd_, static_cast<const std::uint8_t*>(record), recordSize_, pos_,
                              hostPath_);
    if (rc == kOk) pos_ += static_cast<std::int64_t>(recordSize_);
    return rc;
}

// eof() with nothing read ahead: compare with the size taken afresh.
int ByteFile::eofFresh(bool& atEnd) {
    if (fd_ < 0) return kFileNotOpen;
    if (const int rc = flushWrites()) return rc;
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return resultFromErrno(errno, hostPath_);
    const auto rs = static_cast<std::int64_t>(recordSize_);
    atEnd = pos_ / rs >= static_cast<std::int64_t>(st.st_size) / rs;
    return kOk;
}

int ByteFile::size(std::int64_t& records) {
    if (const int f = fs_.fault(FileOp::Size, hostPath_)) return f;
    if (fd_ < 0) return kFileNotOpen;
    if (const int rc = flushWrites()) return rc;
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return resultFromErrno(errno, hostPath_);
    records = static_cast<std::int64_t>(st.st_size) / static_cast<std::int64_t>(recordSize_);
    return kOk;
}

int ByteFile::position(std::int64_t& record) {
    if (const int f = fs_.fault(FileOp::Position, hostPath_)) return f;
    if (fd_ < 0) return kFileNotOpen;
    if (const int rc = flushWrites()) return rc;
    record = pos_ / static_cast<std::int64_t>(recordSize_);
    return kOk;
}

int ByteFile::seek(std::int64_t record) {
    if (const int f = fs_.fault(FileOp::Seek, hostPath_)) return f;
    if (fd_ < 0) return kFileNotOpen;
    if (const int rc = flushWrites()) return rc;
    if (record < 0) return kNegativeSeek;
    rbuf_.clear();
    rbufOff_ = 0;
    pos_ = record * static_cast<std::int64_t>(recordSize_);
    return kOk;
}

int ByteFile::truncate() {
    if (const int f = fs_.fault(FileOp::Write, hostPath_)) return f;
    if (fd_ < 0) return kFileNotOpen;
    if (const int rc = flushWrites()) return rc;
    rbuf_.clear();
    rbufOff_ = 0;
    if (::ftruncate(fd_, static_cast<off_t>(pos_)) != 0) return resultFromErrno(errno, hostPath_);
    return kOk;
}

int ByteFile::close() {
    if (const int f = fs_.fault(FileOp::Close, hostPath_)) return f;
    if (fd_ < 0) return kFileNotOpen;
    int rc = flushWrites();
    if (::close(fd_) != 0 && rc == kOk && errno != EINTR) rc = resultFromErrno(errno, hostPath_);
    fd_ = -1;
    rbuf_.clear();
    rbufOff_ = 0;
    pos_ = 0;
    return rc;
}

int ByteFile::erase() {
    if (const int f = fs_.fault(FileOp::Delete, hostPath_)) return f;
    if (fd_ >= 0) return kAccessDenied;
    return eraseHost(hostPath_);
}

// ---------------------------------------------------------------- text file

TextFile::TextFile(FileSystem& fs) : fs_(fs) {}

TextFile::~TextFile() {
    if (fd_ >= 0) {
        if (writing_) flushWrites();
        ::close(fd_);
    }
}

void TextFile::assign(std::string_view dosPath) {
    dosPath_ = std::string(dosPath);
    hostPath_ = fs_.hostPath(dosPath);
}

int TextFile::reset() {
    if (const int f = fs_.fault(FileOp::Open, hostPath_)) return f;
    if (fd_ >= 0) close();
    buf_.clear();
    off_ = 0;
    atEnd_ = false;
    writing_ = false;
    return openHost(hostPath_, O_RDONLY, false, fd_);
}

int TextFile::rewrite() {
    if (const int f = fs_.fault(FileOp::Create, hostPath_)) return f;
    if (fd_ >= 0) close();
    buf_.clear();
    off_ = 0;
    atEnd_ = false;
    const int rc = openHost(hostPath_, O_WRONLY, true, fd_);
    writing_ = rc == kOk;
    return rc;
}

int TextFile::fill() {
    buf_.resize(kReadChunk);
    ssize_t n;
    do {
        n = ::read(fd_, buf_.data(), buf_.size());
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        buf_.clear();
        off_ = 0;
        return resultFromErrno(errno, hostPath_);
    }
    buf_.resize(static_cast<std::size_t>(n));
    off_ = 0;
    atEnd_ = n == 0;
    return kOk;
}

int TextFile::flushWrites() {
    if (buf_.empty()) return kOk;
    const int rc = writeAll(fd_, buf_.data(), buf_.size(), hostPath_);
    buf_.clear();
    return rc;
}

int TextFile::eof(bool& atEnd) {
    if (const int f = fs_.fault(FileOp::Eof, hostPath_)) return f;
    if (fd_ < 0) return kFileNotOpen;
    if (writing_) return kNotOpenForInput;
    if (off_ < buf_.size()) {
        atEnd = false;
        return kOk;
    }
    if (const int rc = fill()) return rc;
    atEnd = buf_.empty();
    return kOk;
}

int TextFile::readLine(std::string& line) {
    line.clear();
    if (const int f = fs_.fault(FileOp::Read, hostPath_)) return f;
    if (fd_ < 0) return kFileNotOpen;
    if (writing_) return kNotOpenForInput;
    for (;;) {
        if (off_ >= buf_.size()) {
            if (const int rc = fill()) return rc;
            if (buf_.empty()) break;  // end of file: the line read so far (maybe empty)
        }
        const auto lf = buf_.find('\n', off_);
        if (lf == std::string::npos) {
            line.append(buf_, off_, std::string::npos);
            off_ = buf_.size();
            continue;
        }
        line.append(buf_, off_, lf - off_);
        off_ = lf + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        break;
    }
    return kOk;
}

int TextFile::write(std::string_view text) {
    if (const int f = fs_.fault(FileOp::Write, hostPath_)) return f;
    if (fd_ < 0) return kFileNotOpen;
    if (!writing_) return kNotOpenForOutput;
    buf_.append(text);
    if (buf_.size() >= kWriteChunk) return flushWrites();
    return kOk;
}

int TextFile::writeLine(std::string_view text) {
    if (const int f = fs_.fault(FileOp::Write, hostPath_)) return f;
    if (fd_ < 0) return kFileNotOpen;
    if (!writing_) return kNotOpenForOutput;
    buf_.append(text);
    buf_.append("\r\n");
    if (buf_.size() >= kWriteChunk) return flushWrites();
    return kOk;
}

int TextFile::close() {
    if (const int f = fs_.fault(FileOp::Close, hostPath_)) return f;
    if (fd_ < 0) return kFileNotOpen;
    int rc = writing_ ? flushWrites() : kOk;
    if (::close(fd_) != 0 && rc == kOk && errno != EINTR) rc = resultFromErrno(errno, hostPath_);
    fd_ = -1;
    writing_ = false;
    buf_.clear();
    off_ = 0;
    atEnd_ = false;
    return rc;
}

int TextFile::erase() {
    if (const int f = fs_.fault(FileOp::Delete, hostPath_)) return f;
    if (fd_ >= 0) return kAccessDenied;
    return eraseHost(hostPath_);
}

}  // namespace nx
