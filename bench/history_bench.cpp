// The job history's cost per job: 1,000 jobs kept one after another on a real drive
// C (a temporary directory), each a copy of the job's bytes and the index written
// whole, as the service does after each job. Against it, the watch cycle's own copy
// of the same job (through the character map into the working and last-job copies).
// Prints time per job, the ratio to the cycle's copy, and the disk the history takes.
//
//   build/<dir>/bench/history_bench [JOB_BYTES]   (default 4096)
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <string>

#include "intake/history.h"
#include "intake/jobcopy.h"
#include "platform/files.h"
#include "platform/progress.h"

namespace {

namespace fs = std::filesystem;
constexpr int kJobs = 1000;

std::uint64_t fnv1a(const std::string& bytes) {
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
    return h;
}

std::uintmax_t bytesUnder(const fs::path& dir) {
    std::uintmax_t total = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file()) total += e.file_size();
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t jobBytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 4096;
    const fs::path root = fs::temp_directory_path() / ("norvexa-history-bench-" + std::to_string(::getpid()));
    fs::create_directories(root / "norvexa");
    fs::create_directories(root / "talvera");
    std::string job;
    for (std::size_t i = 0; job.size() < jobBytes; ++i) job += "SZ\xB5MLA " + std::to_string(i) + " \xC4\xC4\xC4\r\n";
    job.resize(jobBytes);
    { std::ofstream(root / "talvera" / "wnyomtat.txt", std::ios::binary) << job; }
    const std::uint64_t sum = fnv1a(job);

    nx::FileSystem fs{nx::DriveTable(root.string())};
    nx::JobHistory history(fs);
    using clock = std::chrono::steady_clock;

    auto start = clock::now();
    for (int i = 0; i < kJobs; ++i) {
        nx::HistoryEntry e;
        e.source = "C:\\TALVERA\\WNYOMTAT.TXT";
        e.format = "line";
        e.pages = 3;
        e.printer = "HP_LaserJet";
        e.copy = history.keepCopy("c:\\talvera\\wnyomtat.txt", sum, e.bytes);
        if (e.copy.empty() || !history.add(e)) {
            std::fprintf(stderr, "history_bench: the history failed: %s\n", history.problem().c_str());
            return 1;
        }
    }
    const double historyMs = std::chrono::duration<double, std::milli>(clock::now() - start).count() / kJobs;

    start = clock::now();
    for (int i = 0; i < kJobs; ++i) {
        nx::ByteFile in(fs);
        in.assign("c:\\talvera\\wnyomtat.txt");
        if (in.reset() != nx::kOk) return 1;
        nx::NoProgress progress;
        benchmark::DoNotOptimize(
            nx::copyJob(fs, in, "c:\\norvexa\\nyomtat1.txt", "c:\\norvexa\\legutobb.txt", progress));
    }
    const double copyMs = std::chrono::duration<double, std::milli>(clock::now() - start).count() / kJobs;

    const auto kept = history.entries();
    const std::uintmax_t disk = bytesUnder(root / "norvexa" / "elozmeny");
    const std::uintmax_t index = fs::file_size(root / "norvexa" / "elozmeny" / "elozmeny.txt");
    std::printf("jobs kept one after another:   %d of %zu bytes\n", kJobs, jobBytes);
    std::printf("history per job:               %.3f ms (copy and index)\n", historyMs);
    std::printf("the cycle's own copy per job:  %.3f ms\n", copyMs);
    std::printf("ratio history / cycle copy:    %.2f\n", historyMs / copyMs);
    std::printf("entries kept:                  %zu\n", kept.size());
    std::printf("history on disk:               %ju bytes (index %ju, %.0f bytes per entry beyond its copy)\n",
                disk, index, static_cast<double>(index) / static_cast<double>(kept.size()));
    fs::remove_all(root);
    return 0;
}
