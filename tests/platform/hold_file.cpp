// A second process for the Windows file tests: holds a file (or a drive's service
// lock) the way another program would, says so by creating READY, and lets go when
// it is ended (the test ends it) or after 60 seconds.
//
//   nx_hold_file write PATH READY       open for writing, sharing reading and writing
//                                       (a DOS host writing its job through the C library)
//   nx_hold_file exclusive PATH READY   open without sharing
//   nx_hold_file lock DIR READY         take the service lock of drive C at DIR
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/drive_lock.h"

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    const std::string mode = argv[1];
    const std::string path = argv[2];
    const std::wstring name(path.begin(), path.end());  // test paths are ASCII
    HANDLE file = INVALID_HANDLE_VALUE;
    nx::DriveLock lock;
    if (mode == "write" || mode == "exclusive") {
        const DWORD share = mode == "write" ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0;
        file = CreateFileW(name.c_str(), GENERIC_WRITE, share, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return 3;
    } else if (mode == "lock") {
        if (lock.acquire(path) != nx::DriveLock::Result::Acquired) return 3;
    } else {
        return 2;
    }
    if (FILE* ready = std::fopen(argv[3], "w")) std::fclose(ready);
    Sleep(60000);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return 0;
}
