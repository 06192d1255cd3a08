// A host file held by another open file that lets nobody else in: an exclusive
// flock lock on POSIX, an open without sharing on Windows. Opening it as the
// program does then gives 32 (sharing violation).
#pragma once

#include <string>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace nx::test {

class HeldLock {
public:
    explicit HeldLock(const std::string& hostPath) {
#if defined(_WIN32)
        const std::wstring name(hostPath.begin(), hostPath.end());  // test paths are ASCII
        file_ = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
        locked_ = file_ != INVALID_HANDLE_VALUE;
#else
        fd_ = ::open(hostPath.c_str(), O_RDWR);
        if (fd_ >= 0) locked_ = ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
#endif
    }
    ~HeldLock() { release(); }
    // Lets the file go (on Windows nobody else can even read it until then).
    void release() {
#if defined(_WIN32)
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
#else
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
#endif
    }
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;
    bool locked() const { return locked_; }

private:
#if defined(_WIN32)
    HANDLE file_ = INVALID_HANDLE_VALUE;
#else
    int fd_ = -1;
#endif
    bool locked_ = false;
};

}  // namespace nx::test
