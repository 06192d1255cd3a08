#include "mail/provider_name.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/dos_path.h"

namespace nx {

#if defined(_WIN32)

std::string libraryLoadName(std::string_view name) { return std::string(name); }
std::string libraryLoadName(std::string_view name, const std::string&) { return std::string(name); }
void setProviderDriveC(const std::string&) {}

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

void setProviderDriveC(const std::string& hostDir) {
    // The provider reads the drive as the program's own environment default does.
    setenv("NORVEXA_DRIVE_C", hostDir.c_str(), 1);
}

#endif

}  // namespace nx
