// Byte files and text files on DOS paths, with DOS result codes.
//
// The file system object joins the drive table (dos_path.h), a backend that keeps
// the files (file_backend.h: the real file system, or memory) and the fault seam
// that tests use. Byte and text files share one handle core; every operation
// returns a ResultCode (result.h), read by the caller or raised with check().
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dos_path.h"
#include "platform/file_backend.h"
#include "platform/result.h"

namespace nx {

// File operations that a fault plan can make fail (see FaultHook).
enum class FileOp { Open, Create, Read, Write, Eof, Size, Position, Seek, Close, Delete, Probe, List, Replace, MakeDir };
const char* fileOpName(FileOp op);

// Test seam: consulted before every file operation. A non-zero return makes that
// operation fail with that code without touching the file. Inert when not set.
class FaultHook {
public:
    virtual ~FaultHook() = default;
    virtual int before(FileOp op, const std::string& hostPath) = 0;
};

// The file system as the program sees it: the drive table, the backend and the
// fault seam. Without a backend it is the real file system.
class FileSystem {
public:
    explicit FileSystem(DriveTable drives) : FileSystem(std::move(drives), systemBackend()) {}
    FileSystem(DriveTable drives, FileBackend& backend)
        : drives_(std::move(drives)), backend_(backend) {}

    const DriveTable& drives() const { return drives_; }
    FileBackend& backend() { return backend_; }
    Clock& clock() { return backend_.clock(); }
    std::string hostPath(std::string_view dosPath) const { return drives_.resolve(dosPath, backend_); }

    // Deletes the file (DOS Erase).
    ResultCode erase(std::string_view dosPath);

    // What can be told of a file without opening it for writing: its size, its
    // modification time and whether a process has it open for writing, in this
    // process or another (a host still writing a job). A missing file gives 2 or 3
    // as an open does.
    ResultCode probe(std::string_view dosPath, FileProbe& out);

    // The regular files of a directory (see FileBackend::listFiles).
    ResultCode listFiles(std::string_view dosDir, std::vector<DirEntry>& out);
    // The file `from` takes the place of `to` whole (see FileBackend::replace).
    ResultCode replace(std::string_view from, std::string_view to);
    // Creates the directory (its parent must exist); one that exists already is kOk.
    ResultCode makeDirectory(std::string_view dosDir);

    void setFaultHook(FaultHook* hook) { hook_ = hook; }
    ResultCode fault(FileOp op, const std::string& hostPath) const {
        return hook_ ? resultCode(hook_->before(op, hostPath)) : kOk;
    }

private:
    DriveTable drives_;
    FileBackend& backend_;
    FaultHook* hook_ = nullptr;
};

// Writes `bytes` as the file `target`, whole or not at all: into `temp` (in the same
// directory), which then takes the target's place. On failure the old target stays
// as it was and the temporary file is gone; the first failing code is returned.
ResultCode writeWhole(FileSystem& fs, std::string_view temp, std::string_view target, std::string_view bytes);

// The handle core of byte and text files: one open file of the backend, by host
// path, with its access. Buffering and positions belong to the file types.
class FileHandle {
public:
    explicit FileHandle(FileBackend& backend) : backend_(backend) {}
    ~FileHandle();
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool isOpen() const { return h_ >= 0; }
    ResultCode open(const std::string& hostPath, Access access, bool create) {
        return backend_.open(hostPath, access, create, h_);
    }
    ResultCode read(std::int64_t offset, void* buffer, std::size_t max, std::size_t& got) {
        return backend_.read(h_, offset, buffer, max, got);
    }
    ResultCode write(std::int64_t offset, const void* data, std::size_t count) {
        return backend_.write(h_, offset, data, count);
    }
    ResultCode size(std::int64_t& bytes) { return backend_.size(h_, bytes); }
    ResultCode truncate(std::int64_t bytes) { return backend_.truncate(h_, bytes); }
    ResultCode close();

private:
    FileBackend& backend_;
    FileBackend::Handle h_ = -1;
};

// The buffer one read from a file fills: small at first (most files here are jobs
// of a few kilobytes), full size once a read has filled it. Left uninitialised.
class ReadChunk {
public:
    static constexpr std::size_t kFirst = 4 * 1024;
    static constexpr std::size_t kFull = 64 * 1024;

    // Makes the buffer ready for the next read; `lastGot` is what the previous read
    // into it brought.
    void prepare(std::size_t lastGot) {
        if (data_ && (capacity_ == kFull || lastGot < capacity_)) return;
        capacity_ = data_ ? kFull : kFirst;
        data_ = std::make_unique_for_overwrite<std::uint8_t[]>(capacity_);
    }
    std::uint8_t* data() { return data_.get(); }
    std::size_t capacity() const { return capacity_; }

private:
    std::unique_ptr<std::uint8_t[]> data_;
    std::size_t capacity_ = 0;
};

// A byte file: records of `recordSize` bytes (1, or 28 for the settings file), opened
// with read and write access and read and write sharing. Reads are buffered; end of
// file, position and seek behave as with unbuffered one-record reads.
class ByteFile {
public:
    explicit ByteFile(FileSystem& fs, std::size_t recordSize = 1);
    ~ByteFile();
    ByteFile(const ByteFile&) = delete;
    ByteFile& operator=(const ByteFile&) = delete;

    void assign(std::string_view dosPath);
    const std::string& name() const { return dosPath_; }
    const std::string& hostPath() const { return hostPath_; }
    bool isOpen() const { return file_.isOpen(); }
    FileSystem& fileSystem() { return fs_; }

    ResultCode reset();    // open an existing file; position 0. A held file gives 32.
    ResultCode rewrite();  // create, or empty an existing file

    ResultCode read(std::uint8_t& byte) {  // one byte (record size 1); 100 at the end
        if (const ResultCode f = fs_.fault(FileOp::Read, hostPath_)) return f;
        if (rbufOff_ < rbufLen_) {  // served from the read-ahead, no system call
            byte = rbuf_.data()[rbufOff_++];
            ++pos_;
            return kOk;
        }
        return readRefill(byte);
    }
    ResultCode readRecord(void* record);  // one record; 100 when fewer bytes remain
    ResultCode write(std::uint8_t byte);
    ResultCode writeRecord(const void* record);

    // Block transfer for bulk copies: reads up to `max` bytes, `got` may be 0 at the end.
    ResultCode readBlock(std::uint8_t* buffer, std::size_t max, std::size_t& got);
    ResultCode writeBlock(const std::uint8_t* data, std::size_t count);

    ResultCode eof(bool& atEnd) {  // position >= current size, size taken afresh
        if (const ResultCode f = fs_.fault(FileOp::Eof, hostPath_)) return f;
        if (rbufOff_ < rbufLen_) {  // unread bytes ahead: not at the end
            atEnd = false;
            return kOk;
        }
        return eofFresh(atEnd);
    }
    ResultCode size(std::int64_t& records);  // in records
    ResultCode position(std::int64_t& record);
    ResultCode seek(std::int64_t record);
    ResultCode truncate();  // cut the file at the current position
    ResultCode close();     // 103 when not open
    ResultCode erase();     // delete the assigned file (must be closed)

private:
    ResultCode open(FileOp op, bool create);
    ResultCode readRefill(std::uint8_t& byte);
    ResultCode eofFresh(bool& atEnd);
    ResultCode flushWrites();
    void dropReadAhead() {
        rbufLen_ = 0;
        rbufOff_ = 0;
    }
    FileSystem& fs_;
    FileHandle file_;
    std::size_t recordSize_;
    std::string dosPath_;
    std::string hostPath_;
    std::int64_t pos_ = 0;                 // logical byte position
    ReadChunk rbuf_;                       // read-ahead: rbufLen_ bytes from rbufStart_
    std::size_t rbufLen_ = 0;
    std::int64_t rbufStart_ = 0;
    std::size_t rbufOff_ = 0;
    std::vector<std::uint8_t> wbuf_;       // pending writes starting at wbufStart_
    std::int64_t wbufStart_ = 0;
};

// A text file: opened for reading (read access) or created for writing (write
// access), sharing reading only. Written lines end with CR LF; a read line ends at
// LF, a CR directly before it belonging to the line end. Byte 26 is an ordinary byte.
class TextFile {
public:
    explicit TextFile(FileSystem& fs);
    ~TextFile();
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;

    void assign(std::string_view dosPath);
    const std::string& name() const { return dosPath_; }
    const std::string& hostPath() const { return hostPath_; }
    bool isAssigned() const { return !dosPath_.empty(); }
    bool isOpen() const { return file_.isOpen(); }

    ResultCode reset();    // open for reading
    ResultCode rewrite();  // create for writing

    ResultCode eof(bool& atEnd);
    ResultCode readLine(std::string& line);  // empty text at the end, without error
    ResultCode write(std::string_view text);
    ResultCode writeLine(std::string_view text);  // text + CR LF
    ResultCode close();  // flushes pending writes; 103 when not open
    ResultCode erase();

private:
    ResultCode open(FileOp op, Access access, bool create);
    ResultCode fill();
    ResultCode flushWrites();
    FileSystem& fs_;
    FileHandle file_;
    std::string dosPath_;
    std::string hostPath_;
    bool writing_ = false;
    std::int64_t offset_ = 0;  // where the next read or write goes in the file
    ReadChunk chunk_;  // what one read from the file brings
    std::string buf_;
    std::size_t off_ = 0;
};

}  // namespace nx
