// Throughput of the job copy against a plain two-destination block copy of the same
// file, and against the one-byte algorithm (a system call per end test, read and
// write, kept here only as the reference). Prints MB/s, both ratios and the peak
// resident memory after a 10 MB and after a 100 MB job; also the rate of single-byte
// reads with an end test before each, the way the preview walks a job.
//
//   build/<dir>/bench/jobcopy_bench
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "intake/charmap.h"
#include "intake/jobcopy.h"
#include "platform/files.h"
#include "platform/progress.h"

namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kMB = 1000 * 1000;

fs::path g_root;

// A host job in code page 852: Hungarian text, box-drawn tables, bold and size
// codes, form feeds every 60 lines. Written in pieces, never held whole in memory.
void generateJob(const fs::path& path, std::int64_t bytes) {
    static const char* const words[] = {
        "sz\xA0ml\xA0", "\x94sszeg", "d\xA0tum", "\x82rt\x82k", "t\x82tel", "v\x82g\x94sszeg",
        "\xB5""F\xB5", "\x90V", "Ny\xA1lt", "sz\x8Bl\x8B", "\x81gyf\x82l", "\xEBrlap", "\xE0ra",
        "h\xA3s", "k\xA2""d", "\x99sszesen", "\x9A""gyint\x82z\x8B", "f\xFBt\x82s", "Id\x8Bpont",
    };
    std::mt19937 rng(852);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    std::string line;
    std::int64_t written = 0;
    int lineNo = 0;
    while (written < bytes) {
        line.clear();
        const int kind = lineNo % 12;
        if (kind == 0) {
            line.assign("\x01\xC9", 2);  // bold on, double-line top of a table
            line.append(70, '\xCD');
            line.push_back('\xBB');
        } else if (kind == 11) {
            line.assign(1, '\xC0');
            for (int c = 0; c < 7; ++c) {
                line.append(9, '\xC4');
                line.push_back(c < 6 ? '\xC1' : '\xD9');
            }
        } else if (kind % 3 == 0) {
            line.assign(1, '\xC3');
            for (int c = 0; c < 7; ++c) {
                line.append(9, '\xC4');
                line.push_back(c < 6 ? '\xC5' : '\xB4');
            }
        } else {
            if (kind == 5) line.push_back('\x03');  // a size code now and then
            line.append("\xB3 ", 2);
            while (line.size() < 68) {
                line.append(words[rng() % (sizeof words / sizeof *words)]);
                line.push_back(' ');
            }
            line.push_back('\xBA');
        }
        if (kind == 0) line.push_back('\x02');  // bold off
        if (kind == 5) line.push_back('\x04');  // size restored
        line.append("\r\n");
        if (++lineNo % 60 == 0) line.push_back('\x0C');
        const auto n = std::min<std::int64_t>(static_cast<std::int64_t>(line.size()), bytes - written);
        std::fwrite(line.data(), 1, static_cast<std::size_t>(n), f);
        written += n;
    }
    std::fclose(f);
}

fs::path job(std::int64_t mb) {
    const fs::path p = g_root / ("job" + std::to_string(mb) + "mb.txt");
    if (!fs::exists(p)) generateJob(p, mb * kMB);
    return p;
}

long maxRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

std::map<std::string, long> g_rss;

void BM_JobCopy(benchmark::State& state) {
    const std::int64_t mb = state.range(0);
    const fs::path src = job(mb);
    nx::FileSystem files(nx::DriveTable(g_root.string()));
    nx::NoProgress progress;
    for (auto _ : state) {
        nx::ByteFile in(files);
        in.assign(src.string());
        if (in.reset() != 0) state.SkipWithError("cannot open the job");
        const auto r = nx::copyJob(files, in, "c:\\out\\work.txt", "c:\\out\\last.txt", progress);
        if (r.status != nx::JobCopyResult::Status::Copied) state.SkipWithError("copy failed");
    }
    state.SetBytesProcessed(state.iterations() * mb * kMB);
    g_rss["after copy of " + std::to_string(mb) + " MB"] = maxRssKb();
}

void BM_PlainTwoCopies(benchmark::State& state) {
    const std::int64_t mb = state.range(0);
    const fs::path src = job(mb);
    std::vector<char> buf(64 * 1024);
    for (auto _ : state) {
        const int in = ::open(src.c_str(), O_RDONLY);
        const int a = ::open((g_root / "out" / "plain1.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int b = ::open((g_root / "out" / "plain2.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ssize_t n;
        while ((n = ::read(in, buf.data(), buf.size())) > 0) {
            if (::write(a, buf.data(), static_cast<std::size_t>(n)) != n ||
                ::write(b, buf.data(), static_cast<std::size_t>(n)) != n)
                state.SkipWithError("write failed");
        }
        ::close(b);
        ::close(a);
        ::close(in);
    }
    state.SetBytesProcessed(state.iterations() * mb * kMB);
}

// The one-byte algorithm: before every byte the end test takes the size afresh, then
// one byte is read, mapped and written to each copy, each a call of its own.
void BM_OneByteReference(benchmark::State& state) {
    const std::int64_t mb = state.range(0);
    const fs::path src = job(mb);
    for (auto _ : state) {
        const int in = ::open(src.c_str(), O_RDWR);
        const int a = ::open((g_root / "out" / "ref1.txt").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
        const int b = ::open((g_root / "out" / "ref2.txt").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
        for (;;) {
            struct stat st {};
            ::fstat(in, &st);
            if (::lseek(in, 0, SEEK_CUR) >= st.st_size) break;
            unsigned char c;
            if (::read(in, &c, 1) != 1) break;
            c = nx::mapByte(c);
            if (::write(a, &c, 1) != 1 || ::write(b, &c, 1) != 1) state.SkipWithError("write failed");
        }
        ::close(b);
        ::close(a);
        ::close(in);
    }
    state.SetBytesProcessed(state.iterations() * mb * kMB);
}

// Single-byte reads with an end test before each, as the preview reads a job.
void BM_ByteReads(benchmark::State& state) {
    const fs::path src = job(10);
    nx::FileSystem files(nx::DriveTable(g_root.string()));
    for (auto _ : state) {
        nx::ByteFile in(files);
        in.assign(src.string());
        if (in.reset() != 0) state.SkipWithError("cannot open the job");
        std::uint8_t b = 0;
        std::uint64_t sum = 0;
        bool atEnd = false;
        while (in.eof(atEnd) == 0 && !atEnd && in.read(b) == 0) sum += b;
        benchmark::DoNotOptimize(sum);
        (void)in.close();  // read only
    }
    state.SetBytesProcessed(state.iterations() * 10 * kMB);
}

BENCHMARK(BM_ByteReads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_JobCopy)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_PlainTwoCopies)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_OneByteReference)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// Collects the throughput of each run for the ratios printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> bytesPerSecond;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& r : runs) {
            const auto it = r.counters.find("bytes_per_second");
            if (it != r.counters.end()) bytesPerSecond[r.benchmark_name()] = it->second;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    char tmpl[] = "/tmp/norvexa-bench-XXXXXX";
    if (const char* dir = std::getenv("NORVEXA_BENCH_DIR")) {
        g_root = dir;
        fs::create_directories(g_root);
    } else {
        if (!::mkdtemp(tmpl)) return 1;
        g_root = tmpl;
    }
    fs::create_directories(g_root / "out");
    job(10);
    job(100);
    g_rss["before"] = maxRssKb();

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto rate = [&](const std::string& name) {
        for (const auto& [k, v] : reporter.bytesPerSecond)
            if (k.rfind(name, 0) == 0) return v / 1e6;
        return 0.0;
    };
    const double copy100 = rate("BM_JobCopy/100");
    const double copy10 = rate("BM_JobCopy/10");
    const double plain = rate("BM_PlainTwoCopies/100");
    const double oneByte = rate("BM_OneByteReference/10");
    std::printf("\njob copy, 100 MB job:        %9.1f MB/s\n", copy100);
    std::printf("job copy, 10 MB job:         %9.1f MB/s\n", copy10);
    std::printf("plain two-destination copy:  %9.1f MB/s\n", plain);
    std::printf("one-byte algorithm, 10 MB:   %9.3f MB/s\n", oneByte);
    std::printf("byte reads with end tests:   %9.1f MB/s\n", rate("BM_ByteReads"));
    if (plain > 0) std::printf("job copy / plain copy:       %9.2f  (target >= 0.5)\n", copy100 / plain);
    if (oneByte > 0) {
        std::printf("job copy (100 MB) / one-byte: %8.0f  (target >= 1000)\n", copy100 / oneByte);
        std::printf("job copy (10 MB) / one-byte:  %8.0f\n", copy10 / oneByte);
    }
    for (const auto& [k, v] : g_rss) std::printf("peak resident %-22s %8ld KiB\n", (k + ":").c_str(), v);

    if (!std::getenv("NORVEXA_BENCH_DIR")) fs::remove_all(g_root);
    return 0;
}
