#include "platform/drive_lock.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cwctype>
#include <filesystem>

namespace nx {

DriveLock::~DriveLock() {
    if (mutex_) CloseHandle(static_cast<HANDLE>(mutex_));
}

DriveLock::Result DriveLock::acquire(const std::string& dir) {
    if (mutex_) return Result::Acquired;
    // One name for every spelling of the directory: absolute, lower case, no
    // backslashes (they are not allowed in a mutex name after the namespace).
    std::error_code ec;
    std::wstring key =
        std::filesystem::absolute(std::filesystem::path(std::u8string(dir.begin(), dir.end())), ec).lexically_normal().wstring();
    if (ec) return Result::Unknown;
    while (key.size() > 3 && (key.back() == L'\\' || key.back() == L'/')) key.pop_back();
    for (wchar_t& c : key) c = (c == L'\\' || c == L'/') ? L'|' : static_cast<wchar_t>(std::towlower(c));
    const std::wstring name = L"Local\\norvexa-drive-c-" + key;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    if (!mutex) return Result::Unknown;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return Result::Held;
    }
    mutex_ = mutex;
    return Result::Acquired;
}

}  // namespace nx
