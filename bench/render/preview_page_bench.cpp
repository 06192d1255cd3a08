// Rendering one preview page deep inside a long job onto the preview image, as the
// preview window does when the user pages to it (through the job's document). The whole file is never held in
// memory: peak memory must not grow with the job's length.
//
//   preview_page_bench [--benchmark_...]
//
// Generates the jobs with samples/generate.py (2000 and 8000 pages) unless
// NORVEXA_BIG_JOB names a host job file to use for the first.
#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "formats/open.h"
#include "intake/charmap.h"
#include "intake/settings.h"
#include "platform/files.h"
#include "platform/progress.h"
#include "platform/qt/painter_surface.h"

namespace fs = std::filesystem;

namespace {

const fs::path& workDir() {
    static const fs::path dir = [] {
        std::string tmpl = (fs::temp_directory_path() / "norvexa-bench-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) std::abort();
        return fs::path(tmpl);
    }();
    return dir;
}

// The print stream of a generated job of `pages` pages (converted through the map).
std::string streamOf(int pages) {
    static std::map<int, std::string> made;
    if (auto it = made.find(pages); it != made.end()) return it->second;
    fs::path job;
    const char* given = std::getenv("NORVEXA_BIG_JOB");
    if (given && pages == 2000) {
        job = given;
    } else {
        job = workDir() / ("job" + std::to_string(pages) + ".txt");
        const std::string cmd = "python3 '" NORVEXA_SOURCE_DIR "/samples/generate.py' --big '" + job.string() +
                                "' --pages " + std::to_string(pages);
        if (std::system(cmd.c_str()) != 0) std::abort();
    }
    // Converted in small blocks, so that this set-up does not raise the peak either.
    const fs::path stream = workDir() / ("stream" + std::to_string(pages) + ".txt");
    std::ifstream in(job, std::ios::binary);
    std::ofstream out(stream, std::ios::binary);
    std::vector<char> block(64 * 1024);
    while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0) {
        const auto n = static_cast<std::size_t>(in.gcount());
        for (std::size_t i = 0; i < n; ++i)
            block[i] = static_cast<char>(nx::mapByte(static_cast<std::uint8_t>(block[i])));
        out.write(block.data(), static_cast<std::streamsize>(n));
    }
    return made[pages] = stream.string();
}

long peakKb() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Page `page` of a job of `pages` pages, into a preview image of the window's size.
void previewPage(benchmark::State& state) {
    const int pages = static_cast<int>(state.range(0));
    const int page = static_cast<int>(state.range(1));
    const std::string stream = streamOf(pages);

    nx::FileSystem fs{nx::DriveTable(workDir().string())};
    nx::Settings settings;
    nx::NoProgress progress;
    const auto doc = nx::openDocument(fs, stream, {}, {settings, [] { return false; }});

    const QColor window(0xef, 0xef, 0xef);
    QImage image(1, 1, QImage::Format_RGB32);
    nx::PageSize size;
    {
        QPainter p(&image);
        nx::qt::PainterSurface probe(p, 96, window);
        size = doc->pageSize(probe, 96);
    }
    image = QImage(size.width, size.height, QImage::Format_RGB32);
    QPainter painter(&image);
    nx::qt::PainterSurface surface(painter, 96, window);

    const long before = peakKb();
    for (auto _ : state) {
        if (doc->drawPage(page, surface, size, progress).readFailure != 0)
            state.SkipWithError("a byte could not be read");
        surface.flush();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["job_MB"] = static_cast<double>(fs::file_size(stream)) / (1 << 20);
    state.counters["peak_MB"] = static_cast<double>(peakKb()) / 1024;
    state.counters["peak_growth_KB"] = static_cast<double>(peakKb() - before);
}

BENCHMARK(previewPage)->Args({2000, 1000})->Args({8000, 1000})->Args({8000, 7000})
    ->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(workDir(), ec);
    return 0;
}
