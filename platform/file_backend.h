// Where files live: the operations the file layer needs of a file system, by host
// path and open handle, each with its DOS result code. The POSIX and Windows
// backends work on the real file system; the memory backend keeps files in memory with the same
// result codes (for fuzzing and quick tests). The backend also keeps the time that
// bounded retries wait on.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "platform/dos_path.h"
#include "platform/result.h"

namespace nx {

// Whether any process has a file open for writing.
enum class Writers {
    None,     // nobody: the file is complete as far as its writers go
    Present,  // someone has it open for writing
    Unknown,  // the platform cannot tell (no lease for this file or file system)
};

struct FileProbe {
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;  // modification time, nanoseconds since the epoch
    Writers writers = Writers::Unknown;
};

enum class Access { Read, Write, ReadWrite };

// A regular file of a directory listing.
struct DirEntry {
    std::string name;  // as the file system spells it (UTF-8)
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
};

// The time that retries measure and pause in.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::chrono::steady_clock::time_point now() = 0;
    virtual void pause(std::chrono::milliseconds duration) = 0;
};

// The machine's own time.
class SystemClock final : public Clock {
public:
    std::chrono::steady_clock::time_point now() override { return std::chrono::steady_clock::now(); }
    void pause(std::chrono::milliseconds d) override { std::this_thread::sleep_for(d); }
};

class FileBackend : public EntryMatcher {
public:
    using Handle = int;  // >= 0 while open

    // Opens `hostPath` with `access`. With `create` a missing file is made and an
    // existing one emptied; without, a missing file gives 2 (3 when a directory on
    // the way is missing). A directory gives 5; write access to a read-only file
    // (owner write bit clear, the DOS read-only attribute) gives 5 for every user;
    // a file another process holds under an exclusive lock gives 32.
    virtual ResultCode open(const std::string& hostPath, Access access, bool create, Handle& h) = 0;
    // Reads up to `max` bytes at `offset`; `got` is 0 at the end.
    virtual ResultCode read(Handle h, std::int64_t offset, void* buffer, std::size_t max,
                            std::size_t& got) = 0;
    // Writes all `count` bytes at `offset`.
    virtual ResultCode write(Handle h, std::int64_t offset, const void* data, std::size_t count) = 0;
    virtual ResultCode size(Handle h, std::int64_t& bytes) = 0;
    virtual ResultCode truncate(Handle h, std::int64_t bytes) = 0;
    virtual ResultCode close(Handle h) = 0;
    // Deletes the file (not a directory).
    virtual ResultCode erase(const std::string& hostPath) = 0;
    // Size, modification time and writers, without holding the file open for writing.
    virtual ResultCode probe(const std::string& hostPath, FileProbe& out) = 0;
    // The regular files directly in `hostDir` (no directories, no "." and ".."), in no
    // particular order. A missing directory gives 3, a file in its place 3 as well.
    virtual ResultCode listFiles(const std::string& hostDir, std::vector<DirEntry>& out) = 0;
    // Puts the file `from` in the place of `to` in one step: `to` is the old file or
    // the new one whole, never something between (both in the same directory).
    virtual ResultCode replace(const std::string& from, const std::string& to) = 0;
    // Creates the directory `hostDir` (not its parents); one that exists is kOk.
    virtual ResultCode createDirectory(const std::string& hostDir) = 0;
    virtual Clock& clock() = 0;
};

// The real file system of this process: the POSIX backend, or on Windows the
// Windows backend (CreateFileW with the DOS access and sharing rules; the system's
// error codes are the result codes).
FileBackend& systemBackend();
#if defined(_WIN32)
FileBackend& windowsBackend();
#else
FileBackend& posixBackend();
#endif

}  // namespace nx
