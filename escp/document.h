// An ESC/P job file as a document: the interpreter on the sheet's paper at the
// device's resolution, its letters as its text.
#pragma once

#include <string>

#include "escp/interpreter.h"
#include "platform/document.h"

namespace nx::escp {

class Document final : public nx::Document {
public:
    // The job at `dosPath` as a printer of `options` prints it on `sheet`, whose
    // paper must be given.
    Document(FileSystem& fs, std::string dosPath, const Options& options, const Sheet& sheet)
        : fs_(fs), path_(std::move(dosPath)), options_(options), sheet_(sheet) {}

    const Sheet& sheet() const override { return sheet_; }
    const std::string& file() const override { return path_; }
    PageSize pageSize(Surface& metrics, int dpi) override;
    int pageCount(Progress& progress) override;
    int lastPage(Progress& progress) override { return pageCount(progress); }
    DrawnPage drawPage(int page, Surface& image, const PageSize& size, Progress& progress) override;
    void print(PrintJob& job, const PrintRun& run, Progress& progress) override;
    void exportText(TextFile& target, Progress& progress) override;
    TextBytes textBytes() const override { return TextBytes::Utf8; }
    void writeText(TextFile& target, Progress& progress) override;

private:
    // The paper at `dpi` as `run` prints on it (its resolution ignored).
    Paper paperAt(int dpi, const PrintRun& run) const;
    FileSystem& fs_;
    std::string path_;
    Options options_;
    Sheet sheet_;
};

}  // namespace nx::escp
