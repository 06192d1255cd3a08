// Byte and text files on the handle core, the file system's fault seam.
#include "platform/files.h"

#include <algorithm>
#include <cstring>

namespace nx {

namespace {

constexpr std::size_t kWriteChunk = 64 * 1024;

}  // namespace

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
        case FileOp::List: return "list";
        case FileOp::Replace: return "replace";
        case FileOp::MakeDir: return "mkdir";
    }
    return "?";
}

// ---------------------------------------------------------------- file system

ResultCode FileSystem::erase(std::string_view dosPath) {
    const std::string host = hostPath(dosPath);
    if (const ResultCode f = fault(FileOp::Delete, host)) return f;
    return backend_.erase(host);
}

ResultCode FileSystem::probe(std::string_view dosPath, FileProbe& out) {
    out = FileProbe{};
    const std::string host = hostPath(dosPath);
    if (const ResultCode f = fault(FileOp::Probe, host)) return f;
    return backend_.probe(host, out);
}

ResultCode FileSystem::listFiles(std::string_view dosDir, std::vector<DirEntry>& out) {
    out.clear();
    const std::string host = hostPath(dosDir);
    if (const ResultCode f = fault(FileOp::List, host)) return f;
    return backend_.listFiles(host, out);
}

ResultCode FileSystem::replace(std::string_view from, std::string_view to) {
    const std::string hostFrom = hostPath(from);
    const std::string hostTo = hostPath(to);
    if (const ResultCode f = fault(FileOp::Replace, hostTo)) return f;
    return backend_.replace(hostFrom, hostTo);
}

ResultCode FileSystem::makeDirectory(std::string_view dosDir) {
    const std::string host = hostPath(dosDir);
    if (const ResultCode f = fault(FileOp::MakeDir, host)) return f;
    return backend_.createDirectory(host);
}

ResultCode writeWhole(FileSystem& fs, std::string_view temp, std::string_view target, std::string_view bytes) {
    ByteFile file(fs);
    file.assign(temp);
    ResultCode rc = file.rewrite();
    if (rc == kOk) rc = file.writeBlock(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    if (rc == kOk) {
        rc = file.close();
    } else {
        (void)file.close();  // the write's code is the one reported
    }
    if (rc == kOk) rc = fs.replace(temp, target);
    if (rc != kOk) (void)fs.erase(temp);  // the old file stays as it was
    return rc;
}

// ---------------------------------------------------------------- handle core

FileHandle::~FileHandle() {
    if (h_ >= 0) (void)backend_.close(h_);  // nobody is left to hear of a failure
}

ResultCode FileHandle::close() {
    if (h_ < 0) return kFileNotOpen;
    const ResultCode rc = backend_.close(h_);
    h_ = -1;
    return rc;
}

// ---------------------------------------------------------------- byte file

ByteFile::ByteFile(FileSystem& fs, std::size_t recordSize)
    : fs_(fs), file_(fs.backend()), recordSize_(recordSize == 0 ? 1 : recordSize) {}

ByteFile::~ByteFile() {
    if (isOpen()) (void)flushWrites();  // a destructor cannot report; close() does
}

void ByteFile::assign(std::string_view dosPath) {
    dosPath_ = std::string(dosPath);
    hostPath_ = fs_.hostPath(dosPath);
}

ResultCode ByteFile::open(FileOp op, bool create) {
    if (const ResultCode f = fs_.fault(op, hostPath_)) return f;
    if (isOpen()) (void)close();  // reopening drops the earlier handle, as DOS does
    dropReadAhead();
    wbuf_.clear();
    pos_ = 0;
    return file_.open(hostPath_, Access::ReadWrite, create);
}

ResultCode ByteFile::reset() { return open(FileOp::Open, false); }
ResultCode ByteFile::rewrite() { return open(FileOp::Create, true); }

ResultCode ByteFile::flushWrites() {
    if (wbuf_.empty()) return kOk;
    const ResultCode rc = file_.write(wbufStart_, wbuf_.data(), wbuf_.size());
    wbuf_.clear();
    return rc;
}

// read() found the read-ahead empty: fill it from the current position.
ResultCode ByteFile::readRefill(std::uint8_t& byte) {
    if (!isOpen()) return kFileNotOpen;
    if (const ResultCode rc = flushWrites()) return rc;
    rbuf_.prepare(rbufLen_);
    std::size_t got = 0;
    const ResultCode rc = file_.read(pos_, rbuf_.data(), rbuf_.capacity(), got);
    if (rc != kOk || got == 0) {
        dropReadAhead();
        return rc != kOk ? rc : kReadBeyondEof;
    }
    rbufLen_ = got;
    rbufStart_ = pos_;
    rbufOff_ = 1;
    byte = rbuf_.data()[0];
    ++pos_;
    return kOk;
}

ResultCode ByteFile::readBlock(std::uint8_t* buffer, std::size_t max, std::size_t& got) {
    got = 0;
    if (const ResultCode f = fs_.fault(FileOp::Read, hostPath_)) return f;
    if (!isOpen()) return kFileNotOpen;
    if (rbufOff_ < rbufLen_) {
        const std::size_t n = std::min(max, rbufLen_ - rbufOff_);
        std::memcpy(buffer, rbuf_.data() + rbufOff_, n);
        rbufOff_ += n;
        pos_ += static_cast<std::int64_t>(n);
        got = n;
        if (got == max) return kOk;
    }
    if (const ResultCode rc = flushWrites()) return rc;
    dropReadAhead();
    std::size_t n = 0;
    const ResultCode rc = file_.read(pos_, buffer + got, max - got, n);
    got += n;
    pos_ += static_cast<std::int64_t>(n);
    return rc;
}

ResultCode ByteFile::readRecord(void* record) {
    if (const ResultCode f = fs_.fault(FileOp::Read, hostPath_)) return f;
    if (!isOpen()) return kFileNotOpen;
    if (const ResultCode rc = flushWrites()) return rc;
    auto* out = static_cast<std::uint8_t*>(record);
    std::size_t got = 0;
    // Serve what the read-ahead still holds, then read the rest directly.
    if (rbufOff_ < rbufLen_) {
        got = std::min(recordSize_, rbufLen_ - rbufOff_);
        std::memcpy(out, rbuf_.data() + rbufOff_, got);
    }
    dropReadAhead();
    std::size_t n = 0;
    const ResultCode rc =
        file_.read(pos_ + static_cast<std::int64_t>(got), out + got, recordSize_ - got, n);
    got += n;
    pos_ += static_cast<std::int64_t>(got);
    if (rc != kOk) return rc;
    return got == recordSize_ ? kOk : kReadBeyondEof;
}

ResultCode ByteFile::write(std::uint8_t byte) {
    if (const ResultCode f = fs_.fault(FileOp::Write, hostPath_)) return f;
    if (!isOpen()) return kFileNotOpen;
    dropReadAhead();
    if (!wbuf_.empty() && wbufStart_ + static_cast<std::int64_t>(wbuf_.size()) != pos_) {
        if (const ResultCode rc = flushWrites()) return rc;
    }
    if (wbuf_.empty()) wbufStart_ = pos_;
    wbuf_.push_back(byte);
    ++pos_;
    if (wbuf_.size() >= kWriteChunk) return flushWrites();
    return kOk;
}

ResultCode ByteFile::writeBlock(const std::uint8_t* data, std::size_t count) {
    if (const ResultCode f = fs_.fault(FileOp::Write, hostPath_)) return f;
    if (!isOpen()) return kFileNotOpen;
    dropReadAhead();
    if (!wbuf_.empty() && (wbufStart_ + static_cast<std::int64_t>(wbuf_.size()) != pos_ ||
                           wbuf_.size() + count > kWriteChunk)) {
        if (const ResultCode rc = flushWrites()) return rc;
    }
    if (count >= kWriteChunk) {
        const ResultCode rc = file_.write(pos_, data, count);
        if (rc == kOk) pos_ += static_cast<std::int64_t>(count);
        return rc;
    }
    if (wbuf_.empty()) wbufStart_ = pos_;
    wbuf_.insert(wbuf_.end(), data, data + count);
    pos_ += static_cast<std::int64_t>(count);
    return kOk;
}

ResultCode ByteFile::writeRecord(const void* record) {
    if (const ResultCode f = fs_.fault(FileOp::Write, hostPath_)) return f;
    if (!isOpen()) return kFileNotOpen;
    if (const ResultCode rc = flushWrites()) return rc;
    dropReadAhead();
    const ResultCode rc = file_.write(pos_, record, recordSize_);
    if (rc == kOk) pos_ += static_cast<std::int64_t>(recordSize_);
    return rc;
}

// eof() with nothing read ahead: compare with the size taken afresh.
ResultCode ByteFile::eofFresh(bool& atEnd) {
    if (!isOpen()) return kFileNotOpen;
    if (const ResultCode rc = flushWrites()) return rc;
    std::int64_t bytes = 0;
    if (const ResultCode rc = file_.size(bytes)) return rc;
    const auto rs = static_cast<std::int64_t>(recordSize_);
    atEnd = pos_ / rs >= bytes / rs;
    return kOk;
}

ResultCode ByteFile::size(std::int64_t& records) {
    if (const ResultCode f = fs_.fault(FileOp::Size, hostPath_)) return f;
    if (!isOpen()) return kFileNotOpen;
    if (const ResultCode rc = flushWrites()) return rc;
    std::int64_t bytes = 0;
    if (const ResultCode rc = file_.size(bytes)) return rc;
    records = bytes / static_cast<std::int64_t>(recordSize_);
    return kOk;
}

ResultCode ByteFile::position(std::int64_t& record) {
    if (const ResultCode f = fs_.fault(FileOp::Position, hostPath_)) return f;
    if (!isOpen()) return kFileNotOpen;
    if (const ResultCode rc = flushWrites()) return rc;
    record = pos_ / static_cast<std::int64_t>(recordSize_);
    return kOk;
}

ResultCode ByteFile::seek(std::int64_t record) {
    if (const ResultCode f = fs_.fault(FileOp::Seek, hostPath_)) return f;
    if (!isOpen()) return kFileNotOpen;
    if (const ResultCode rc = flushWrites()) return rc;
    if (record < 0) return kNegativeSeek;
    dropReadAhead();
    pos_ = record * static_cast<std::int64_t>(recordSize_);
    return kOk;
}

ResultCode ByteFile::truncate() {
    if (const ResultCode f = fs_.fault(FileOp::Write, hostPath_)) return f;
    if (!isOpen()) return kFileNotOpen;
    if (const ResultCode rc = flushWrites()) return rc;
    dropReadAhead();
    return file_.truncate(pos_);
}

ResultCode ByteFile::close() {
    if (const ResultCode f = fs_.fault(FileOp::Close, hostPath_)) return f;
    if (!isOpen()) return kFileNotOpen;
    ResultCode rc = flushWrites();
    const ResultCode closed = file_.close();
    if (rc == kOk) rc = closed;
    dropReadAhead();
    pos_ = 0;
    return rc;
}

ResultCode ByteFile::erase() {
    if (const ResultCode f = fs_.fault(FileOp::Delete, hostPath_)) return f;
    if (isOpen()) return kAccessDenied;
    return fs_.backend().erase(hostPath_);
}

// ---------------------------------------------------------------- text file

TextFile::TextFile(FileSystem& fs) : fs_(fs), file_(fs.backend()) {}

TextFile::~TextFile() {
    if (isOpen() && writing_) (void)flushWrites();  // a destructor cannot report; close() does
}

void TextFile::assign(std::string_view dosPath) {
    dosPath_ = std::string(dosPath);
    hostPath_ = fs_.hostPath(dosPath);
}

ResultCode TextFile::open(FileOp op, Access access, bool create) {
    if (const ResultCode f = fs_.fault(op, hostPath_)) return f;
    if (isOpen()) (void)close();  // reopening drops the earlier handle, as DOS does
    buf_.clear();
    off_ = 0;
    offset_ = 0;
    const ResultCode rc = file_.open(hostPath_, access, create);
    writing_ = rc == kOk && access == Access::Write;
    return rc;
}

ResultCode TextFile::reset() { return open(FileOp::Open, Access::Read, false); }
ResultCode TextFile::rewrite() { return open(FileOp::Create, Access::Write, true); }

ResultCode TextFile::fill() {
    chunk_.prepare(buf_.size());
    std::size_t got = 0;
    const ResultCode rc = file_.read(offset_, chunk_.data(), chunk_.capacity(), got);
    buf_.assign(reinterpret_cast<const char*>(chunk_.data()), rc == kOk ? got : 0);
    off_ = 0;
    offset_ += static_cast<std::int64_t>(buf_.size());
    return rc;
}

ResultCode TextFile::flushWrites() {
    if (buf_.empty()) return kOk;
    const ResultCode rc = file_.write(offset_, buf_.data(), buf_.size());
    if (rc == kOk) offset_ += static_cast<std::int64_t>(buf_.size());
    buf_.clear();
    return rc;
}

ResultCode TextFile::eof(bool& atEnd) {
    if (const ResultCode f = fs_.fault(FileOp::Eof, hostPath_)) return f;
    if (!isOpen()) return kFileNotOpen;
    if (writing_) return kNotOpenForInput;
    if (off_ < buf_.size()) {
        atEnd = false;
        return kOk;
    }
    if (const ResultCode rc = fill()) return rc;
    atEnd = buf_.empty();
    return kOk;
}

ResultCode TextFile::readLine(std::string& line) {
    line.clear();
    if (const ResultCode f = fs_.fault(FileOp::Read, hostPath_)) return f;
    if (!isOpen()) return kFileNotOpen;
    if (writing_) return kNotOpenForInput;
    for (;;) {
        if (off_ >= buf_.size()) {
            if (const ResultCode rc = fill()) return rc;
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

ResultCode TextFile::write(std::string_view text) {
    if (const ResultCode f = fs_.fault(FileOp::Write, hostPath_)) return f;
    if (!isOpen()) return kFileNotOpen;
    if (!writing_) return kNotOpenForOutput;
    buf_.append(text);
    if (buf_.size() >= kWriteChunk) return flushWrites();
    return kOk;
}

ResultCode TextFile::writeLine(std::string_view text) {
    if (const ResultCode f = fs_.fault(FileOp::Write, hostPath_)) return f;
    if (!isOpen()) return kFileNotOpen;
    if (!writing_) return kNotOpenForOutput;
    buf_.append(text);
    buf_.append("\r\n");
    if (buf_.size() >= kWriteChunk) return flushWrites();
    return kOk;
}

ResultCode TextFile::close() {
    if (const ResultCode f = fs_.fault(FileOp::Close, hostPath_)) return f;
    if (!isOpen()) return kFileNotOpen;
    ResultCode rc = writing_ ? flushWrites() : kOk;
    const ResultCode closed = file_.close();
    if (rc == kOk) rc = closed;
    writing_ = false;
    buf_.clear();
    off_ = 0;
    offset_ = 0;
    return rc;
}

ResultCode TextFile::erase() {
    if (const ResultCode f = fs_.fault(FileOp::Delete, hostPath_)) return f;
    if (isOpen()) return kAccessDenied;
    return fs_.backend().erase(hostPath_);
}

}  // namespace nx
