// The seven host programs' print stream as a document: the line interpreter on the
// printer's own paper, the preview's page of 80 columns and 66 lines, the line
// copy as its text.
#pragma once

#include <functional>
#include <string>

#include "intake/settings.h"
#include "platform/document.h"

namespace nx {

// What the line format reads of the program while it draws: the settings record
// (sizes, margins) and the main window's "Változó sormagasság", read live.
struct PrintSettings {
    const Settings& settings;
    std::function<bool()> variableLineHeight;
};

class LineDocument final : public Document {
public:
    // The print stream at `dosPath` (converted through the character map already).
    LineDocument(FileSystem& fs, std::string dosPath, PrintSettings settings)
        : fs_(fs), path_(std::move(dosPath)), settings_(std::move(settings)) {}

    const Sheet& sheet() const override { return sheet_; }
    const std::string& file() const override { return path_; }
    PageSize pageSize(Surface& metrics, int dpi) override;
    int pageCount(Progress& progress) override;
    int lastPage(Progress& progress) override;
    DrawnPage drawPage(int page, Surface& image, const PageSize& size, Progress& progress) override;
    void print(PrintJob& job, const PrintRun& run, Progress& progress) override;
    void exportText(TextFile& target, Progress& progress) override;
    TextBytes textBytes() const override { return TextBytes::Cp1250; }
    void writeText(TextFile& target, Progress& progress) override;

private:
    FileSystem& fs_;
    std::string path_;
    PrintSettings settings_;
    Sheet sheet_;  // the printer's own paper, from its printable corner
};

}  // namespace nx
