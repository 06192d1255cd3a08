// DOS paths, byte files and text files with DOS result codes.
//
// Every operation returns a result code, 0 for success, in the DOS numbering that
// the messages use. A call site either reads the code itself (unchecked) or wraps
// the call in check() (checked), which raises IoError on a non-zero code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace nx {

// Result codes (DOS / Windows numbering).
enum ResultCode : int {
    kOk = 0,
    kFileNotFound = 2,
    kPathNotFound = 3,
    kTooManyOpenFiles = 4,
    kAccessDenied = 5,
    kSharingViolation = 32,
    kReadBeyondEof = 100,
    kDiskFull = 101,
    kFileNotOpen = 103,
    kInvalidNumeric = 106,
};

// The run-time library's text for a result code, without the closing full stop.
std::string ioMessage(int code);

// A message as the error box shows it: a full stop is appended when the last
// character sorts after the full stop in code order.
std::string withFullStop(std::string message);

// The input/output error raised by a checked operation.
class IoError : public std::runtime_error {
public:
    explicit IoError(int code);
    int code() const noexcept { return code_; }

private:
    int code_;
};

// The conversion error of text to integer.
class ConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Raises IoError for a non-zero code.
inline void check(int code) {
    if (code != 0) throw IoError(code);
}

// Maps an errno value onto a result code. `hostPath` decides between 2 and 3 for
// ENOENT (3 when a directory on the way is missing).
int resultFromErrno(int err, const std::string& hostPath);

// Drive letters to host directories. Only drive C is mapped.
class DriveTable {
public:
    explicit DriveTable(std::string driveC);

    // Drive C from `--drive-c DIR` (wins), else from NORVEXA_DRIVE_C, else defaultDriveC().
    // The option and its value are left in argv; callers that parse further skip them.
    static DriveTable fromCommandLine(int argc, const char* const* argv);
    static std::string defaultDriveC();  // $HOME/.local/share/norvexa/drive_c (or /tmp/...)

    const std::string& driveC() const { return driveC_; }

    // DOS path -> host path. "c:\x\y" maps under drive C with each existing component
    // matched case-insensitively (a missing component keeps the case given); a native
    // absolute path ("/...") is taken as it is; any other name resolves against the
    // current directory, backslashes read as separators.
    std::string resolve(std::string_view dosPath) const;

private:
    std::string driveC_;
};

// File operations that a fault plan can make fail (see FaultHook).
enum class FileOp { Open, Create, Read, Write, Eof, Size, Position, Seek, Close, Delete, Probe };
const char* fileOpName(FileOp op);

// Test seam: consulted before every file operation. A non-zero return makes that
// operation fail with that code without touching the file. Inert when not set.
class FaultHook {
public:
    virtual ~FaultHook() = default;
    virtual int before(FileOp op, const std::string& hostPath) = 0;
};

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

// The file system as the program sees it: the drive table and the fault seam.
class FileSystem {
public:
    explicit FileSystem(DriveTable drives) : drives_(std::move(drives)) {}

    const DriveTable& drives() const { return drives_; }
    std::string hostPath(std::string_view dosPath) const { return drives_.resolve(dosPath); }

    // Deletes the file (DOS Erase). Result code.
    int erase(std::string_view dosPath);

    // What can be told of a file without opening it for writing: its size, its
    // modification time and whether a process has it open for writing, in this
    // process or another (a host still writing a job). Result code; a missing file
    // gives 2 or 3 as an open does.
    int probe(std::string_view dosPath, FileProbe& out);

    void setFaultHook(FaultHook* hook) { hook_ = hook; }
    int fault(FileOp op, const std::string& hostPath) const {
        return hook_ ? hook_->before(op, hostPath) : 0;
    }

private:
    DriveTable drives_;
    FaultHook* hook_ = nullptr;
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
    bool isOpen() const { return fd_ >= 0; }

    int reset();    // open an existing file; position 0. A held file gives 32.
    int rewrite();  // create, or empty an existing file

    int read(std::uint8_t& byte) {        // one byte (record size 1); 100 at the end
        if (const int f = fs_.fault(FileOp::Read, hostPath_)) return f;
        if (rbufOff_ < rbuf_.size()) {  // served from the read-ahead, no system call
            byte = rbuf_[rbufOff_++];
            ++pos_;
            return 0;
        }
        return readRefill(byte);
    }
    int readRecord(void* record);         // one record; 100 when fewer bytes remain
    int write(std::uint8_t byte);
    int writeRecord(const void* record);

    // Block transfer for bulk copies: reads up to `max` bytes, `got` may be 0 at the end.
    int readBlock(std::uint8_t* buffer, std::size_t max, std::size_t& got);
    int writeBlock(const std::uint8_t* data, std::size_t count);

    int eof(bool& atEnd) {             // position >= current size, size taken afresh
        if (const int f = fs_.fault(FileOp::Eof, hostPath_)) return f;
        if (rbufOff_ < rbuf_.size()) {  // unread bytes ahead: not at the end
            atEnd = false;
            return 0;
        }
        return eofFresh(atEnd);
    }
    int size(std::int64_t& records);   // in records
    int position(std::int64_t& record);
    int seek(std::int64_t record);
    int truncate();                    // cut the file at the current position
    int close();                       // 103 when not open
    int erase();                       // delete the assigned file (must be closed)

private:
    int readRefill(std::uint8_t& byte);
    int eofFresh(bool& atEnd);
    int flushWrites();
    FileSystem& fs_;
    std::size_t recordSize_;
    std::string dosPath_;
    std::string hostPath_;
    int fd_ = -1;
    std::int64_t pos_ = 0;                 // logical byte position
    std::vector<std::uint8_t> rbuf_;       // read-ahead: bytes at [rbufStart_, rbufStart_+size)
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
    bool isOpen() const { return fd_ >= 0; }

    int reset();    // open for reading
    int rewrite();  // create for writing

    int eof(bool& atEnd);
    int readLine(std::string& line);        // empty text at the end, without error
    int write(std::string_view text);
    int writeLine(std::string_view text);   // text + CR LF
    int close();                            // flushes pending writes; 103 when not open
    int erase();

private:
    int fill();
    int flushWrites();
    FileSystem& fs_;
    std::string dosPath_;
    std::string hostPath_;
    int fd_ = -1;
    bool writing_ = false;
    std::string buf_;
    std::size_t off_ = 0;
    bool atEnd_ = false;
};

}  // namespace nx
