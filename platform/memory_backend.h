// Files kept in memory, with the result codes of the POSIX backend: missing files
// and directories (2, 3), directories and read-only files refusing write access (5),
// files held by another process without sharing (32), a disk that can fill (101),
// handles not open (103). Its clock does not wait: a pause moves its time on at
// once, so bounded retries end at once. For fuzzing and quick tests.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_backend.h"

namespace nx {

class MemoryBackend final : public FileBackend {
public:
    MemoryBackend();

    // The host side, as a host program or a test sees it.
    void makeDirectory(const std::string& path);  // with its parents
    void put(const std::string& path, std::string_view bytes);  // create or replace
    std::optional<std::string> get(const std::string& path) const;
    bool exists(const std::string& path) const;
    void remove(const std::string& path);
    void setReadOnly(const std::string& path, bool readOnly);
    // Another process holds the file under an exclusive lock: opens give 32.
    void setHeld(const std::string& path, bool held);
    // Writes beyond this many bytes in all files give 101 (none by default).
    void setCapacity(std::optional<std::size_t> bytes) { capacity_ = bytes; }
    // Open handles, for checking that nothing is left open.
    std::size_t openHandles() const;

    std::string matchEntry(const std::string& dir, const std::string& name) const override;
    ResultCode open(const std::string& path, Access access, bool create, Handle& h) override;
    ResultCode read(Handle h, std::int64_t offset, void* buffer, std::size_t max,
                    std::size_t& got) override;
    ResultCode write(Handle h, std::int64_t offset, const void* data, std::size_t count) override;
    ResultCode size(Handle h, std::int64_t& bytes) override;
    ResultCode truncate(Handle h, std::int64_t bytes) override;
    ResultCode close(Handle h) override;
    ResultCode erase(const std::string& path) override;
    ResultCode probe(const std::string& path, FileProbe& out) override;
    ResultCode listFiles(const std::string& dir, std::vector<DirEntry>& out) override;
    ResultCode createDirectory(const std::string& dir) override;
    ResultCode replace(const std::string& from, const std::string& to) override;
    Clock& clock() override { return clock_; }

private:
    struct File {
        std::string data;
        bool readOnly = false;
        bool held = false;
        std::int64_t modified = 0;
    };
    struct Open {
        std::shared_ptr<File> file;
        bool writes = false;
    };
    class VirtualClock final : public Clock {
    public:
        std::chrono::steady_clock::time_point now() override { return now_; }
        void pause(std::chrono::milliseconds d) override { now_ += d; }

    private:
        std::chrono::steady_clock::time_point now_{};
    };

    static std::string parentOf(const std::string& path);
    ResultCode missing(const std::string& path) const;
    File* handleFile(Handle h, bool forWrite);
    void touch(File& f) { f.modified = ++stamp_; }
    std::size_t used() const;

    std::map<std::string, std::shared_ptr<File>> files_;
    std::set<std::string> dirs_;
    std::vector<Open> handles_;  // by handle; a closed one has no file
    std::optional<std::size_t> capacity_;
    std::int64_t stamp_ = 0;
    VirtualClock clock_;
};

}  // namespace nx
