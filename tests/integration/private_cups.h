// A CUPS scheduler of the tests' own: started on a private socket in a temporary
// directory (scripts/private-cupsd.sh), with a queue that keeps its job files, so a
// test can read back the documents it received.
#pragma once

#include <algorithm>
#include <gtest/gtest.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "tests/integration/pdf_support.h"
#include "tests/support/temp_drive.h"

extern char** environ;

namespace nx::test {

namespace fs = std::filesystem;

inline constexpr const char* kQueue = "norvexa-test";
inline constexpr const char* kCupsd = "/usr/sbin/cupsd";

inline bool canConnect(const fs::path& socketPath) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", socketPath.c_str());
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

// A scheduler of our own: configuration, spool and socket in a temporary directory.
class PrivateCups {
public:
    // With `backend`, that program is the scheduler's backend "norvexa"; with `port`,
    // the scheduler listens on 127.0.0.1:port too.
    explicit PrivateCups(const std::string& backend = {}, int port = 0) {
        if (!fs::exists(kCupsd)) {
            why_ = std::string(kCupsd) + " is not installed (package cups-daemon)";
            return;
        }
        const fs::path root = drive_.root() / "cups";
        socket_ = root / "cups.sock";
        if (socket_.string().size() >= sizeof(sockaddr_un{}.sun_path)) {
            why_ = "the temporary directory's path is too long for a socket";
            return;
        }
        spool_ = root / "spool";
        log_ = root / "log" / "error_log";
        // The scheduler's configuration is the Windows stage's too (one script).
        std::vector<std::string> args = {"/bin/sh", NORVEXA_PRIVATE_CUPSD, root.string(), kQueue};
        if (!backend.empty() || port) args.push_back(backend);
        if (port) args.push_back(std::to_string(port));
        root_ = root;
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, "/bin/sh", nullptr, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
            why_ = "cupsd could not be started";
            return;
        }
        // Up to five seconds for the socket to answer.
        for (int i = 0; i < 100 && !canConnect(socket_); ++i) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                why_ = "cupsd stopped at start: " + readFile(log_);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (!canConnect(socket_)) {
            why_ = "cupsd did not open its socket within five seconds";
            return;
        }
        ::setenv("CUPS_SERVER", socket_.c_str(), 1);
        ready_ = true;
    }
    ~PrivateCups() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            for (int i = 0; i < 100 && ::waitpid(pid_, &status, WNOHANG) == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (::waitpid(pid_, &status, WNOHANG) == 0) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
            }
        }
        ::unsetenv("CUPS_SERVER");
    }
    PrivateCups(const PrivateCups&) = delete;
    PrivateCups& operator=(const PrivateCups&) = delete;

    bool ready() const { return ready_; }
    const std::string& why() const { return why_; }
    nx::test::TempDrive& drive() { return drive_; }

    // The documents the scheduler has spooled (d<job>-<n> files), waiting up to
    // `timeout` for at least `count`.
    std::vector<fs::path> documents(std::size_t count, std::chrono::milliseconds timeout) const {
        const auto until = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            std::vector<fs::path> docs;
            for (const auto& e : fs::directory_iterator(spool_))
                if (e.path().filename().string().rfind("d", 0) == 0) docs.push_back(e.path());
            std::sort(docs.begin(), docs.end());
            if (docs.size() >= count || std::chrono::steady_clock::now() >= until) return docs;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    std::string log() const { return readFile(log_); }
    const fs::path& root() const { return root_; }
    const fs::path& socket() const { return socket_; }

    // The documents each queue received so far, by queue: "norvexa-a-3" is job 3 of
    // norvexa-a, its document d00003-001 in the spool.
    std::map<std::string, std::vector<fs::path>> documentsByQueue() const {
        std::map<std::string, std::vector<fs::path>> byQueue;
        std::istringstream jobs(run("lpstat -W all -o 2>/dev/null"));
        const std::vector<fs::path> spooled = documents(0, std::chrono::milliseconds(0));
        for (std::string line; std::getline(jobs, line);) {
            const std::string id = line.substr(0, line.find(' '));
            const std::size_t dash = id.rfind('-');
            char name[32];
            std::snprintf(name, sizeof name, "d%05d-001", std::stoi(id.substr(dash + 1)));
            for (const fs::path& d : spooled)
                if (d.filename() == name) byQueue[id.substr(0, dash)].push_back(d);
        }
        return byQueue;
    }

private:
    nx::test::TempDrive drive_;
    fs::path root_, socket_, spool_, log_;
    pid_t pid_ = -1;
    bool ready_ = false;
    std::string why_;
};

// A suite of tests sharing one private scheduler, started before its first test
// and stopped after its last.
class PrivateCupsSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() { cups_ = new PrivateCups; }
    static void TearDownTestSuite() {
        delete cups_;
        cups_ = nullptr;
    }
    static inline PrivateCups* cups_ = nullptr;
};

}  // namespace nx::test
