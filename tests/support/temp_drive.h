// A temporary drive C for tests: a fresh host directory holding "norvexa", removed
// again at the end. Helpers read and write host files by DOS path.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace nx::test {

class TempDrive {
public:
    explicit TempDrive(bool withServiceDir = true) {
        root_ = freshDirectory();
        if (withServiceDir) std::filesystem::create_directory(root_ / "norvexa");
        fs_ = std::make_unique<FileSystem>(DriveTable(root_.string()));
    }
    ~TempDrive() {
        std::error_code ec;
        std::filesystem::permissions(root_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(root_, ec);
    }
    TempDrive(const TempDrive&) = delete;
    TempDrive& operator=(const TempDrive&) = delete;

    FileSystem& fs() { return *fs_; }
    const std::filesystem::path& root() const { return root_; }
    std::string host(std::string_view dosPath) const { return fs_->hostPath(dosPath); }

    void mkdir(std::string_view dosDir) const {
        std::filesystem::create_directories(host(dosDir));
    }
    void write(std::string_view dosPath, std::string_view bytes) const {
        std::ofstream out(host(dosPath), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::string read(std::string_view dosPath) const {
        std::ifstream in(host(dosPath), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    bool exists(std::string_view dosPath) const { return std::filesystem::exists(host(dosPath)); }

private:
    static std::filesystem::path freshDirectory() {
        static std::mt19937_64 random{std::random_device{}()};
        for (int attempt = 0; attempt < 100; ++attempt) {
            const auto dir = std::filesystem::temp_directory_path() /
                             ("norvexa-test-" + std::to_string(random() % 1000000000));
            std::error_code ec;
            if (std::filesystem::create_directory(dir, ec)) return dir;
        }
        std::abort();
    }
    std::filesystem::path root_;
    std::unique_ptr<FileSystem> fs_;
};

// Directory of the shared real files, or empty when they are not beside the project.
inline std::string sharedDir() {
    if (const char* env = std::getenv("NORVEXA_SHARED_DIR")) return env;
    std::filesystem::path p = std::filesystem::path(NORVEXA_SOURCE_DIR) / ".." / "shared";
    return std::filesystem::exists(p / "realdata") ? p.lexically_normal().string() : std::string();
}

}  // namespace nx::test
