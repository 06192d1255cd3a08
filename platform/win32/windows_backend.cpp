// The Windows backend: files of the real file system through CreateFileW, with
// the access and sharing that DOS programs ask for, so hosts and the service see
// each other's opens as DOS programs would. The system's error codes are the DOS
// result codes already (2, 3, 4, 5, 32); a full disk is reported as 101 as a short
// write is elsewhere.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <limits>
#include <mutex>
#include <vector>

#include "platform/file_backend.h"

namespace nx {

namespace {

std::wstring wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string narrow(const wchar_t* text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string out(static_cast<std::size_t>(n - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

ResultCode lastResult() {
    const DWORD err = GetLastError();
    switch (err) {
        case ERROR_SUCCESS: return kGeneralFailure;  // a failure without a reason
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return kDiskFull;
        case ERROR_INVALID_HANDLE: return kFileNotOpen;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_FILENAME_EXCED_RANGE: return kPathNotFound;
        default: return resultCode(static_cast<int>(err));
    }
}

std::int64_t unixNanoseconds(const FILETIME& ft) {
    // 100 ns ticks since 1601-01-01; 11644473600 s lie between that and 1970.
    const std::int64_t ticks =
        static_cast<std::int64_t>((static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
    return (ticks - 116444736000000000LL) * 100;
}

class WindowsBackend final : public FileBackend {
public:
    // Windows file systems ignore letter case themselves.
    std::string matchEntry(const std::string&, const std::string& name) const override { return name; }

    ResultCode open(const std::string& path, Access access, bool create, Handle& h) override {
        h = -1;
        DWORD desired = 0;
        DWORD share = 0;
        switch (access) {
            case Access::Read:  // text file read
                desired = GENERIC_READ;
                share = FILE_SHARE_READ;
                break;
            case Access::Write:  // text file written
                desired = GENERIC_WRITE;
                share = FILE_SHARE_READ;
                break;
            case Access::ReadWrite:  // byte file
                desired = GENERIC_READ | GENERIC_WRITE;
                share = FILE_SHARE_READ | FILE_SHARE_WRITE;
                break;
        }
        const std::wstring name = wide(path);
        // The read-only attribute refuses write access to everyone, as DOS does (the
        // system does so too, except for an administrator under some emulations).
        if (desired & GENERIC_WRITE) {
            const DWORD attributes = GetFileAttributesW(name.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
                (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
                return kAccessDenied;
        }
        const HANDLE file = CreateFileW(name.c_str(), desired, share, nullptr,
                                        create ? CREATE_ALWAYS : OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return lastResult();
        std::lock_guard lock(mutex_);
        for (std::size_t i = 0; i < handles_.size(); ++i) {
            if (handles_[i] == INVALID_HANDLE_VALUE) {
                handles_[i] = file;
                h = static_cast<Handle>(i);
                return kOk;
            }
        }
        if (handles_.size() >= static_cast<std::size_t>(std::numeric_limits<Handle>::max())) {
            CloseHandle(file);
            return kTooManyOpenFiles;
        }
        handles_.push_back(file);
        h = static_cast<Handle>(handles_.size() - 1);
        return kOk;
    }

    ResultCode read(Handle h, std::int64_t offset, void* buffer, std::size_t max,
                    std::size_t& got) override {
        got = 0;
        const HANDLE file = lookup(h);
        if (file == INVALID_HANDLE_VALUE) return kFileNotOpen;
        auto* out = static_cast<char*>(buffer);
        while (got < max) {
            OVERLAPPED at = placed(offset + static_cast<std::int64_t>(got));
            const DWORD want = static_cast<DWORD>(std::min<std::size_t>(max - got, 1u << 30));
            DWORD n = 0;
            if (!ReadFile(file, out + got, want, &n, &at)) {
                if (GetLastError() == ERROR_HANDLE_EOF) break;
                return lastResult();
            }
            if (n == 0) break;
            got += n;
        }
        return kOk;
    }

    ResultCode write(Handle h, std::int64_t offset, const void* data, std::size_t count) override {
        const HANDLE file = lookup(h);
        if (file == INVALID_HANDLE_VALUE) return kFileNotOpen;
        const auto* in = static_cast<const char*>(data);
        while (count > 0) {
            OVERLAPPED at = placed(offset);
            const DWORD want = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
            DWORD n = 0;
            if (!WriteFile(file, in, want, &n, &at)) return lastResult();
            if (n == 0) return kDiskFull;
            in += n;
            count -= n;
            offset += n;
        }
        return kOk;
    }

    ResultCode size(Handle h, std::int64_t& bytes) override {
        const HANDLE file = lookup(h);
        if (file == INVALID_HANDLE_VALUE) return kFileNotOpen;
        LARGE_INTEGER n{};
        if (!GetFileSizeEx(file, &n)) return lastResult();
        bytes = n.QuadPart;
        return kOk;
    }

    ResultCode truncate(Handle h, std::int64_t bytes) override {
        const HANDLE file = lookup(h);
        if (file == INVALID_HANDLE_VALUE) return kFileNotOpen;
        LARGE_INTEGER at{};
        at.QuadPart = bytes;
        if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN) || !SetEndOfFile(file)) return lastResult();
        return kOk;
    }

    ResultCode close(Handle h) override {
        HANDLE file = INVALID_HANDLE_VALUE;
        {
            std::lock_guard lock(mutex_);
            if (h < 0 || static_cast<std::size_t>(h) >= handles_.size()) return kFileNotOpen;
            file = handles_[static_cast<std::size_t>(h)];
            handles_[static_cast<std::size_t>(h)] = INVALID_HANDLE_VALUE;
        }
        if (file == INVALID_HANDLE_VALUE) return kFileNotOpen;
        if (!CloseHandle(file)) return lastResult();
        return kOk;
    }

    ResultCode erase(const std::string& path) override {
        const std::wstring name = wide(path);
        const DWORD attributes = GetFileAttributesW(name.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return kAccessDenied;
        if (!DeleteFileW(name.c_str())) return lastResult();
        return kOk;
    }

    ResultCode probe(const std::string& path, FileProbe& out) override {
        out = FileProbe{};
        const std::wstring name = wide(path);
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &data)) return lastResult();
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return kAccessDenied;
        out.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                                             data.nFileSizeLow);
        out.modifiedNs = unixNanoseconds(data.ftLastWriteTime);
        // Opened for reading, letting others only read: refused with a sharing
        // violation while any process has the file open for writing (or holds it
        // without letting others read).
        const HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            out.writers = Writers::None;
        } else if (GetLastError() == ERROR_SHARING_VIOLATION) {
            out.writers = Writers::Present;
        }
        return kOk;
    }

    ResultCode listFiles(const std::string& dir, std::vector<DirEntry>& out) override {
        out.clear();
        const DWORD attributes = GetFileAttributesW(wide(dir).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            const ResultCode rc = lastResult();
            return rc == kFileNotFound ? kPathNotFound : rc;
        }
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return kPathNotFound;
        std::wstring pattern = wide(dir);
        if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
        pattern += L'*';
        WIN32_FIND_DATAW found{};
        const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) {
            return GetLastError() == ERROR_FILE_NOT_FOUND ? kOk : lastResult();
        }
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
            out.push_back({narrow(found.cFileName),
                           static_cast<std::int64_t>((static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) |
                                                     found.nFileSizeLow),
                           unixNanoseconds(found.ftLastWriteTime)});
        } while (FindNextFileW(search, &found));
        FindClose(search);
        return kOk;
    }

    ResultCode replace(const std::string& from, const std::string& to) override {
        if (!MoveFileExW(wide(from).c_str(), wide(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return lastResult();
        return kOk;
    }

    ResultCode createDirectory(const std::string& dir) override {
        if (CreateDirectoryW(wide(dir).c_str(), nullptr)) return kOk;
        if (GetLastError() == ERROR_ALREADY_EXISTS) {
            const DWORD attributes = GetFileAttributesW(wide(dir).c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return kOk;
            return kAccessDenied;
        }
        return lastResult();
    }

    Clock& clock() override { return clock_; }

private:
    static OVERLAPPED placed(std::int64_t offset) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset) & 0xffffffffu);
        at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
        return at;
    }

    HANDLE lookup(Handle h) {
        std::lock_guard lock(mutex_);
        if (h < 0 || static_cast<std::size_t>(h) >= handles_.size()) return INVALID_HANDLE_VALUE;
        return handles_[static_cast<std::size_t>(h)];
    }

    std::mutex mutex_;
    std::vector<HANDLE> handles_;
    SystemClock clock_;
};

}  // namespace

FileBackend& windowsBackend() {
    static WindowsBackend instance;
    return instance;
}

FileBackend& systemBackend() { return windowsBackend(); }

}  // namespace nx
