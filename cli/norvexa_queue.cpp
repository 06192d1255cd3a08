// norvexa-queue: print queues that draw DOS jobs, on the scheduler that CUPS_SERVER
// names (or the default one), made with lpadmin instead of device URIs typed by hand.
//
//   norvexa-queue add NAME --target PRINTER [--format escp|line] [--pins 9|24]
//                 [--codepage 437|850|852] [--paper A4|A5|Letter|Legal]
//                 [--offset X,Y] [--shared]
//   norvexa-queue list
//   norvexa-queue remove NAME
//
// Exit status: 0 done, 1 the scheduler refused or the target is missing (nothing
// changed), 2 bad arguments.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "formats/device_uri.h"

extern char** environ;

namespace {

// Why the scheduler's unprivileged user cannot read `file`; empty when it can.
std::string unreadableByScheduler(const std::string& file) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status st = fs::status(file, ec);
    if (ec || !fs::exists(st)) return "the background file does not exist";
    if (!fs::is_regular_file(st)) return "the background is not a file";
    if ((st.permissions() & fs::perms::others_read) == fs::perms::none)
        return "the background file is not readable by the scheduler's user (chmod o+r)";
    for (fs::path dir = fs::path(file).parent_path(); !dir.empty() && dir != dir.root_path(); dir = dir.parent_path())
        if ((fs::status(dir, ec).permissions() & fs::perms::others_exec) == fs::perms::none)
            return "the directory " + dir.string() + " is not searchable by the scheduler's user (chmod o+x)";
    return {};
}

constexpr const char* kUsage =
    "usage: norvexa-queue add NAME --target PRINTER [--format escp|line] [--pins 9|24]\n"
    "                     [--codepage 437|850|852] [--paper A4|A5|Letter|Legal]\n"
    "                     [--offset X,Y] [--background FILE[|FILE...]] [--shared]\n"
    "       norvexa-queue list\n"
    "       norvexa-queue remove NAME\n"
    "\n"
    "add makes (or changes) the queue NAME, whose jobs (ESC/P unless --format line, the\n"
    "seven host programs' own format) are drawn and printed on the queue PRINTER of the\n"
    "same scheduler; the job is kept and tried again while PRINTER is missing. The\n"
    "queue is shared with the network only with --shared. list shows each such queue,\n"
    "its target and its keys; remove deletes one. The scheduler is the one CUPS_SERVER\n"
    "names, or the default.\n"
    "\n"
    "Exit status: 0 done, 1 refused (nothing changed), 2 bad arguments.\n";

struct Usage {
    std::string message;
};

// Runs a program with its arguments (no shell); its exit status, or -1. Standard
// output comes back in `out`; standard error is passed on unless `quiet`.
int run(const std::vector<std::string>& args, std::string* out = nullptr, bool quiet = false) {
    int pipes[2] = {-1, -1};
    if (out && ::pipe(pipes) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (out) {
        posix_spawn_file_actions_adddup2(&actions, pipes[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipes[0]);
        posix_spawn_file_actions_addclose(&actions, pipes[1]);
    }
    if (quiet) posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (out) {
        ::close(pipes[1]);
        char block[4096];
        for (ssize_t n; spawned == 0 && (n = ::read(pipes[0], block, sizeof block)) > 0;) out->append(block, static_cast<std::size_t>(n));
        ::close(pipes[0]);
    }
    if (spawned != 0) {
        std::fprintf(stderr, "norvexa-queue: %s could not be run: %s\n", argv[0], std::strerror(spawned));
        return -1;
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

bool queueExists(const std::string& name) { return run({"lpstat", "-p", name}, nullptr, true) == 0; }

// The Norvexa queues of the scheduler: name and device.
std::vector<std::pair<std::string, nx::QueueDevice>> norvexaQueues() {
    std::string text;
    (void)run({"lpstat", "-v"}, &text, true);  // no queues at all: nothing listed
    std::vector<std::pair<std::string, nx::QueueDevice>> out;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        // "device for NAME: URI"
        constexpr std::string_view lead = "device for ";
        const std::size_t colon = line.find(": ");
        if (line.rfind(lead, 0) != 0 || colon == std::string::npos) continue;
        std::string why;
        if (const auto device = nx::parseDeviceUri(line.substr(colon + 2), why))
            out.emplace_back(line.substr(lead.size(), colon - lead.size()), *device);
    }
    return out;
}

std::string keysText(const nx::QueueDevice& d) {
    const std::string uri = nx::deviceUri(d);
    std::string keys = uri.substr(uri.find('?') + 1);
    for (char& c : keys)
        if (c == '&') c = ' ';
    return keys;
}

int add(const std::vector<std::string>& args) {
    if (args.size() < 2) throw Usage{"add needs a queue name"};
    const std::string name = args[1];
    if (!nx::isQueueName(name)) throw Usage{"not a queue name: " + name};
    nx::QueueDevice d;
    bool shared = false;
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--shared") {
            shared = true;
            continue;
        }
        if (i + 1 >= args.size()) throw Usage{a + " needs a value"};
        const std::string value = args[++i];
        std::string why;
        if (a == "--target") {
            d.target = value;
            if (!nx::isQueueName(value)) throw Usage{"not a queue name: " + value};
        } else if (a == "--format") {
            if (value != "escp" && value != "line") throw Usage{"--format is escp or line: " + value};
            d.lineFormat = value == "line";
        } else if (a == "--background") {
            // Absolute host paths the scheduler's own user can read: the file readable
            // by every user, each directory above it searchable.
            const auto one = nx::parseDeviceUri(std::string(nx::kDeviceScheme) + ":/x?hatter=" + value, why);
            if (!one) throw Usage{"--background needs absolute paths parted by |: " + value};
            for (const std::string& file : one->keys.backgrounds) {
                if (const std::string problem = unreadableByScheduler(file); !problem.empty()) {
                    std::fprintf(stderr, "norvexa-queue: %s: %s; nothing was changed\n", file.c_str(), problem.c_str());
                    return 1;
                }
            }
            d.keys.backgrounds = one->keys.backgrounds;
        } else if (a == "--pins" || a == "--codepage" || a == "--paper" || a == "--offset") {
            // Read as the device reads it, so that a queue is made only with keys its
            // jobs can be drawn by.
            const std::string key = a == "--pins" ? "tipus" : a == "--codepage" ? "kodlap" : a == "--paper" ? "papir" : "eltolas";
            const auto one = nx::parseDeviceUri(std::string(nx::kDeviceScheme) + ":/x?" + key + "=" + value, why);
            if (!one) throw Usage{"bad value: " + a + " " + value};
            if (key == "tipus") d.keys.pins = one->keys.pins;
            if (key == "kodlap") d.keys.codePage = one->keys.codePage;
            if (key == "papir") d.keys.paper = one->keys.paper;
            if (key == "eltolas") d.keys.offsetX = one->keys.offsetX, d.keys.offsetY = one->keys.offsetY;
        } else {
            throw Usage{"unknown option: " + a};
        }
    }
    if (d.target.empty()) throw Usage{"add needs --target PRINTER"};
    if (d.target == name) throw Usage{"a queue cannot print on itself: " + name};
    if (!queueExists(d.target)) {
        std::fprintf(stderr, "norvexa-queue: the scheduler has no queue %s; nothing was changed\n", d.target.c_str());
        return 1;
    }
    if (queueExists(name)) {
        bool ours = false;
        for (const auto& [queue, device] : norvexaQueues()) ours = ours || queue == name;
        if (!ours) {
            std::fprintf(stderr, "norvexa-queue: %s is a queue of another kind; nothing was changed\n", name.c_str());
            return 1;
        }
    }
    const int rc = run({"lpadmin", "-p", name, "-E", "-v", nx::deviceUri(d), "-D",
                        "DOS jobs drawn for " + d.target, "-o", "printer-error-policy=retry-job", "-o",
                        std::string("printer-is-shared=") + (shared ? "true" : "false")});
    if (rc != 0) {
        std::fprintf(stderr, "norvexa-queue: the scheduler refused the queue %s\n", name.c_str());
        return 1;
    }
    std::printf("%s\t%s\t%s\n", name.c_str(), d.target.c_str(), keysText(d).c_str());
    return 0;
}

int list() {
    for (const auto& [queue, device] : norvexaQueues())
        std::printf("%s\t%s\t%s\n", queue.c_str(), device.target.c_str(), keysText(device).c_str());
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int remove(const std::vector<std::string>& args) {
    if (args.size() != 2) throw Usage{"remove needs one queue name"};
    bool ours = false;
    for (const auto& [queue, device] : norvexaQueues()) ours = ours || queue == args[1];
    if (!ours) {
        std::fprintf(stderr, "norvexa-queue: %s is not a Norvexa queue of this scheduler; nothing was changed\n",
                     args[1].c_str());
        return 1;
    }
    return run({"lpadmin", "-x", args[1]}) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.empty()) throw Usage{"no command"};
        if (args[0] == "--help" || args[0] == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (args[0] == "add") return add(args);
        if (args[0] == "list" && args.size() == 1) return list();
        if (args[0] == "remove") return remove(args);
        throw Usage{"unknown command: " + args[0]};
    } catch (const Usage& u) {
        std::fprintf(stderr, "norvexa-queue: %s\n\n%s", u.message.c_str(), kUsage);
        return 2;
    }
}
