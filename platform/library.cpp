#include "platform/library.h"

#include "platform/dos_path.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace nx {
#if defined(_WIN32)

std::string libraryLoadName(std::string_view name) { return std::string(name); }
std::string libraryLoadName(std::string_view name, const std::string&) { return std::string(name); }

bool Library::load(std::string_view name) {
    unload();
    error_.clear();
    const std::string loadName = libraryLoadName(name);
    HMODULE module = LoadLibraryA(loadName.c_str());
    if (!module) {
        error_ = "LoadLibrary failed with error " + std::to_string(GetLastError());
        return false;
    }
    handle_ = reinterpret_cast<void*>(module);
    return true;
}

void* Library::entry(const char* symbol) const {
    if (!handle_) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), symbol));
}

void Library::unload() {
    if (!handle_) return;
    FreeLibrary(static_cast<HMODULE>(handle_));
    handle_ = nullptr;
}

#else

std::string libraryLoadName(std::string_view name) {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return libraryLoadName(name, ec ? std::string() : exe.string());
}

std::string libraryLoadName(std::string_view name, const std::string& exePath) {
    constexpr const char* kProvider = "libnorvexa_mapi.so";
    if (!sameNameIgnoringCase(name, kMapiLibraryName)) return std::string(name);

    if (const char* env = std::getenv("NORVEXA_MAPI_LIBRARY"); env && *env) return env;

    if (!exePath.empty()) {
        std::error_code ec;
        const std::filesystem::path dir = std::filesystem::path(exePath).parent_path();
        for (const std::filesystem::path& candidate :
             {dir / kProvider, dir / NORVEXA_PRIVATE_LIBDIR / kProvider}) {
            if (std::filesystem::is_regular_file(candidate, ec))
                return candidate.lexically_normal().string();
        }
    }
    return kProvider;
}

bool Library::load(std::string_view name) {
    unload();
    error_.clear();
    const std::string loadName = libraryLoadName(name);
    dlerror();
    handle_ = dlopen(loadName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = dlerror();
        error_ = why ? why : "cannot load " + loadName;
        return false;
    }
    return true;
}

void* Library::entry(const char* symbol) const {
    if (!handle_) return nullptr;
    dlerror();
    return dlsym(handle_, symbol);
}

void Library::unload() {
    if (!handle_) return;
    dlclose(handle_);
    handle_ = nullptr;
}

#endif

}  // namespace nx
