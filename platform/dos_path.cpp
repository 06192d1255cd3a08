#include "platform/dos_path.h"

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>
#if !defined(_WIN32)
#include <dirent.h>
#endif

#include "platform/cp1250_utf8.h"

namespace nx {

namespace {

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

#if defined(_WIN32)
constexpr char kSeparator = '\\';
// A path of another drive, or a network path ("\\server\share").
bool isNativeAbsolute(std::string_view path) {
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') return true;
    return path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/') &&
           path[0] != 'c' && path[0] != 'C';
}
#else
constexpr char kSeparator = '/';
bool isNativeAbsolute(std::string_view path) { return !path.empty() && path.front() == '/'; }
#endif

class HostDirectories final : public EntryMatcher {
public:
    std::string matchEntry(const std::string& dir, const std::string& name) const override {
        if (name == "." || name == "..") return name;
#if defined(_WIN32)
        (void)dir;
        return name;  // Windows file systems ignore letter case themselves
#else
        DIR* d = ::opendir(dir.c_str());
        if (!d) return {};
        std::string found;
        while (const dirent* e = ::readdir(d)) {
            const std::string_view entry(e->d_name);
            if (entry == name) {
                found = name;
                break;
            }
            if (found.empty() && sameNameIgnoringCase(entry, name)) found = std::string(entry);
        }
        ::closedir(d);
        return found;
#endif
    }
};

}  // namespace

bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

const EntryMatcher& hostDirectories() {
    static const HostDirectories instance;
    return instance;
}

DriveTable::DriveTable(std::string driveC) : driveC_(std::move(driveC)) {
    while (driveC_.size() > 1 && (driveC_.back() == '/' || driveC_.back() == kSeparator))
        driveC_.pop_back();
}

DriveTable DriveTable::fromCommandLine(int argc, const char* const* argv) {
    static constexpr std::string_view kOption = "--drive-c";
    // The last one given wins, as with most options of most programs.
    std::optional<std::string> given;
    for (int i = 1; i < argc; ++i) {
        if (!argv[i]) continue;
        const std::string_view arg(argv[i]);
        if (arg == kOption && i + 1 < argc && argv[i + 1]) {
            given = argv[++i];
        } else if (arg.size() > kOption.size() + 1 && arg.substr(0, kOption.size()) == kOption &&
                   arg[kOption.size()] == '=') {
            given = std::string(arg.substr(kOption.size() + 1));
        }
    }
    if (given) return DriveTable(*given);
    if (const char* env = std::getenv("NORVEXA_DRIVE_C"); env && *env) return DriveTable(env);
    return DriveTable(defaultDriveC());
}

std::string DriveTable::defaultDriveC() {
#if defined(_WIN32)
    return "C:";  // DOS paths are used as they stand
#else
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.local/share/norvexa/drive_c";
    return "/tmp/norvexa/drive_c";
#endif
}

std::string DriveTable::resolve(std::string_view dosPathIn, const EntryMatcher& entries) const {
    // Paths inside the program are code page 1250 text (a name typed with accents);
    // host names are UTF-8. A path that already is UTF-8 (a native path from the
    // command line) is taken as it stands.
    const std::string converted = isUtf8(dosPathIn) ? std::string() : cp1250ToUtf8(dosPathIn);
    const std::string_view dosPath = converted.empty() ? dosPathIn : std::string_view(converted);
    if (isNativeAbsolute(dosPath)) return std::string(dosPath);

    std::string base;
    std::string_view rest = dosPath;
    bool matching = true;  // components are matched while every one before exists
    if (rest.size() >= 2 && rest[1] == ':' && (rest[0] == 'c' || rest[0] == 'C')) {
        base = driveC_;
        rest.remove_prefix(2);
    } else {
        std::error_code ec;
        const std::u8string cwd = std::filesystem::current_path(ec).u8string();
        base = ec || cwd.empty() ? std::string(".") : std::string(cwd.begin(), cwd.end());
        matching = false;  // a relative name keeps its spelling
    }

    // Components join with the base's own separator: a root written the POSIX way
    // ("/c", the memory backend's) keeps slashes on Windows too.
    const char separator = !base.empty() && base.front() == '/' ? '/' : kSeparator;
    std::string out = base;
    std::size_t i = 0;
    while (i <= rest.size()) {
        std::size_t j = i;
        while (j < rest.size() && rest[j] != '\\' && rest[j] != '/') ++j;
        const std::string comp(rest.substr(i, j - i));
        if (!comp.empty()) {
            std::string name = comp;
            if (matching) {
                const std::string hit = entries.matchEntry(out, comp);
                if (hit.empty())
                    matching = false;
                else
                    name = hit;
            }
            if (out.empty() || out.back() != separator) out += separator;
            out += name;
        }
        i = j + 1;
    }
    return out;
}

}  // namespace nx
