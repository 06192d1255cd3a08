// An ESC/P job file on every output: printed as one print job, one page drawn for
// the preview, or its text.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "escp/interpreter.h"
#include "platform/files.h"
#include "platform/printjob.h"
#include "platform/progress.h"

namespace nx::escp {

// The job file's bytes for the interpreter; the progress follows them. Reads are
// checked (IoError).
class FileSource final : public ByteSource {
public:
    FileSource(ByteFile& file, Progress& progress) : file_(file), progress_(progress) {}
    std::size_t read(std::uint8_t* out, std::size_t max) override;

private:
    ByteFile& file_;
    Progress& progress_;
    std::int64_t done_ = 0;
};

// Bytes held in memory (tests, fuzzing).
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
    std::size_t read(std::uint8_t* out, std::size_t max) override;

private:
    std::string_view bytes_;
};

// A print job as the pages' target.
class JobTarget final : public PageTarget {
public:
    explicit JobTarget(PrintJob& job) : job_(job) {}
    Surface& surface() override { return job_.surface(); }
    void newPage() override { job_.newPage(); }

private:
    PrintJob& job_;
};

// The copies of a print: the whole job once under each background in turn (one
// copy on plain paper when there are none), each copy with only the chosen pages
// (all when none are).
struct Copies {
    const std::vector<std::string>& backgrounds;
    const std::set<int>* pages = nullptr;
};

// Prints the ESC/P job at `dosPath` on `job` as one print job (the title of every
// print job, portrait), as printStream prints the line format: a job that cannot
// begin raises IoError(160); an input/output error aborts the job and is raised.
void printJob(FileSystem& fs, std::string_view dosPath, PrintJob& job, const Options& options,
              const Paper& paper, const Copies& copies, Progress& progress);

// Draws page `page` (1-based) of the job onto `image`, cleared first to its
// `paper` size, over `background` (a host path; empty: none). Returns the job's
// page count.
int renderPage(FileSystem& fs, std::string_view dosPath, int page, Surface& image,
               const Options& options, const Paper& paper, std::string_view background, Progress& progress);

// The job's text as UTF-8 lines (line feeds), pages separated by form feeds: the
// letters of each print line in their columns, box characters left out.
std::string textOf(FileSystem& fs, std::string_view dosPath, const Options& options,
                   Progress& progress);

// The job's plain-text export, as the line format's is: code page 1250 (a letter it
// lacks becomes "?"), CR LF line ends, a form feed before each page after the
// first; box characters left out.
std::string exportText(FileSystem& fs, std::string_view dosPath, const Options& options,
                       Progress& progress);

// The number of pages the job prints on (as printJob makes them).
int pageCount(FileSystem& fs, std::string_view dosPath, const Options& options, Progress& progress);

}  // namespace nx::escp
