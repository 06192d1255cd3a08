// Shared pieces of the fuzz targets: a drive C kept in memory, a reader for the option bytes in front of an input,
// a one-shot fault plan on the file layer, and the failure exit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/memory_backend.h"
#include "tests/support/fault_plan.h"
#include "tests/support/recording.h"

namespace nx::fuzz {

// Ends the run with a finding: libFuzzer records the input as a crash.
[[noreturn]] inline void fail(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "fuzz invariant broken: %s %s\n", what, detail.c_str());
    std::abort();
}

inline void expect(bool ok, const char* what, const std::string& detail = {}) {
    if (!ok) fail(what, detail);
}

// Drive C with its service directory "norvexa" and one host program directory,
// kept in memory: a file per input costs no system call, and retries that pause
// move the backend's clock on instead of waiting. Made once per process.
class FuzzDrive {
public:
    static FuzzDrive& instance() {
        static FuzzDrive drive;
        return drive;
    }

    FileSystem& fs() { return fs_; }
    MemoryBackend& backend() { return backend_; }
    std::string host(std::string_view dosPath) const { return fs_.hostPath(dosPath); }

    void write(std::string_view dosPath, const std::uint8_t* data, std::size_t size) {
        backend_.put(host(dosPath), std::string_view(reinterpret_cast<const char*>(data), size));
    }
    void write(std::string_view dosPath, std::string_view bytes) { backend_.put(host(dosPath), bytes); }
    std::string read(std::string_view dosPath) const { return backend_.get(host(dosPath)).value_or(""); }
    bool exists(std::string_view dosPath) const { return backend_.exists(host(dosPath)); }
    void remove(std::string_view dosPath) { backend_.remove(host(dosPath)); }

    FuzzDrive(const FuzzDrive&) = delete;
    FuzzDrive& operator=(const FuzzDrive&) = delete;

private:
    FuzzDrive() : fs_(DriveTable("/c"), backend_) {
        backend_.makeDirectory("/c/norvexa");
        backend_.makeDirectory("/c/talvera");
    }

    MemoryBackend backend_;
    FileSystem fs_;
};

// Takes option bytes off the front of an input; a missing byte reads as 0.
class InputReader {
public:
    InputReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t byte() {
        if (pos_ >= size_) return 0;
        return data_[pos_++];
    }
    const std::uint8_t* rest() const { return data_ + pos_; }
    std::size_t restSize() const { return size_ - pos_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Makes the n-th call of one file operation fail with one result code, once.
// Two option bytes describe it: the first chooses the operation and the code
// (0 = no fault), the second the call number (0 = the first call).
class OneFault final : public FaultHook {
public:
    OneFault(std::uint8_t what, std::uint8_t nth) {
        static constexpr int kCodes[] = {kFileNotFound, kPathNotFound, kTooManyOpenFiles,
                                         kAccessDenied, kSharingViolation, kReadBeyondEof,
                                         kDiskFull,     kFileNotOpen};
        if (what == 0) return;
        active_ = true;
        op_ = static_cast<FileOp>((what - 1) % 10);
        code_ = kCodes[((what - 1) / 10) % 8];
        nth_ = nth;
        // A read gives "read beyond end of file" only at the file's real end, where
        // the next end test agrees; injected before the end it would fake a file
        // that ends and goes on at once, so reads fail with another code instead.
        if (op_ == FileOp::Read && code_ == kReadBeyondEof) code_ = kAccessDenied;
    }

    int before(FileOp op, const std::string&) override {
        if (!active_ || fired_ || op != op_) return 0;
        if (seen_++ != nth_) return 0;
        fired_ = true;
        return code_;
    }

    bool fired() const { return fired_; }
    FileOp op() const { return op_; }

private:
    bool active_ = false;
    bool fired_ = false;
    FileOp op_ = FileOp::Open;
    int code_ = 0;
    unsigned nth_ = 0;
    unsigned seen_ = 0;
};

// Lends a recording surface a list of calls kept from one execution to the next, so
// that a long run of drawing calls does not grow a fresh list (and fault in fresh
// pages) for every input. `pool` outlives the surface.
class ReusedCalls {
public:
    ReusedCalls(test::RecordingSurface& surface, std::vector<test::RecordingSurface::Op>& pool)
        : surface_(surface), pool_(pool) {
        surface_.ops.swap(pool_);
        surface_.ops.clear();
    }
    ~ReusedCalls() { surface_.ops.swap(pool_); }
    ReusedCalls(const ReusedCalls&) = delete;
    ReusedCalls& operator=(const ReusedCalls&) = delete;

private:
    test::RecordingSurface& surface_;
    std::vector<test::RecordingSurface::Op>& pool_;
};

}  // namespace nx::fuzz
