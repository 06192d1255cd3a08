// Shared pieces of the fuzz targets: a drive C made once per process on a
// memory-backed directory, a reader for the option bytes in front of an input,
// a one-shot fault plan on the file layer, and the failure exit.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/services.h"

namespace nx::fuzz {

// Ends the run with a finding: libFuzzer records the input as a crash.
[[noreturn]] inline void fail(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "fuzz invariant broken: %s %s\n", what, detail.c_str());
    std::abort();
}

inline void expect(bool ok, const char* what, const std::string& detail = {}) {
    if (!ok) fail(what, detail);
}

// Drive C with its service directory "norvexa" and one host program directory.
// Made once per process, in /dev/shm when it is there, so that a file per input
// costs no disk traffic; removed when the process ends normally.
class FuzzDrive {
public:
    static FuzzDrive& instance() {
        static FuzzDrive drive;
        return drive;
    }

    FileSystem& fs() { return *fs_; }
    std::string host(std::string_view dosPath) const { return fs_->hostPath(dosPath); }

    void write(std::string_view dosPath, const std::uint8_t* data, std::size_t size) const {
        std::ofstream out(host(dosPath), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) fail("cannot write the input file", host(dosPath));
    }
    void write(std::string_view dosPath, std::string_view bytes) const {
        write(dosPath, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::string read(std::string_view dosPath) const {
        std::ifstream in(host(dosPath), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    bool exists(std::string_view dosPath) const {
        return std::filesystem::exists(host(dosPath));
    }
    void remove(std::string_view dosPath) const {
        std::error_code ec;
        std::filesystem::remove(host(dosPath), ec);
    }

    FuzzDrive(const FuzzDrive&) = delete;
    FuzzDrive& operator=(const FuzzDrive&) = delete;
    ~FuzzDrive() {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }

private:
    FuzzDrive() {
        std::filesystem::path base = "/dev/shm";
        std::error_code ec;
        if (!std::filesystem::is_directory(base, ec) || access(base.c_str(), W_OK) != 0)
            base = std::filesystem::temp_directory_path();
        std::string tmpl = (base / "norvexa-fuzz-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) fail("mkdtemp", tmpl);
        root_ = tmpl;
        std::filesystem::create_directory(root_ / "norvexa");
        std::filesystem::create_directory(root_ / "talvera");
        fs_ = std::make_unique<FileSystem>(DriveTable(root_.string()));
    }

    std::filesystem::path root_;
    std::unique_ptr<FileSystem> fs_;
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

// Installs a fault plan on the drive for one execution.
class FaultScope {
public:
    FaultScope(FileSystem& fs, FaultHook& hook) : fs_(fs) { fs_.setFaultHook(&hook); }
    ~FaultScope() { fs_.setFaultHook(nullptr); }
    FaultScope(const FaultScope&) = delete;
    FaultScope& operator=(const FaultScope&) = delete;

private:
    FileSystem& fs_;
};

// Services that count termination requests and error boxes.
class CountingServices final : public Services {
public:
    int terminations = 0;
    int errorBoxes = 0;
    void requestTermination() override { ++terminations; }
    void errorBox(std::string_view) override { ++errorBoxes; }
};

}  // namespace nx::fuzz
