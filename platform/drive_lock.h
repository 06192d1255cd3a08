// One service per drive C. A running service holds an advisory lock on the drive's
// directory for as long as it runs (on Windows a named mutex of the desktop session,
// named after the directory); a second service started on the same drive
// finds it held and must not watch the same job files (it would print every job a
// second time). The lock goes with the process, however it ends.
#pragma once

#include <string>

namespace nx {

class DriveLock {
public:
    enum class Result {
        Acquired,  // this process is the drive's service now
        Held,      // another process is
        Unknown,   // the directory cannot be locked (missing, no locks there)
    };

    DriveLock() = default;
    ~DriveLock();
    DriveLock(const DriveLock&) = delete;
    DriveLock& operator=(const DriveLock&) = delete;

    // Tries to take the lock on the host directory `dir` without waiting.
    Result acquire(const std::string& dir);

private:
#if defined(_WIN32)
    void* mutex_ = nullptr;  // a named mutex, one name per drive directory
#else
    int fd_ = -1;
#endif
};

}  // namespace nx
