// A job as every output sees it, whatever its format: its pages, one page drawn,
// the job printed, its text. A job is opened as a document once, by the function
// that knows the formats (formats/open.h); the windows, norvexa-print, the PDF
// routine and the benchmarks take the document and never ask what it holds.
#pragma once

#include <set>
#include <string>

#include "platform/files.h"
#include "platform/printjob.h"
#include "platform/progress.h"
#include "platform/sheet.h"
#include "platform/surface.h"

namespace nx {

// One page as the preview draws it: its size in device units at `dpi`.
struct PageSize {
    int width = 0;
    int height = 0;
    int dpi = 96;
};

// What drawing one page found.
struct DrawnPage {
    // The code of a byte of the job that could not be read (the page is drawn up
    // to it); 0 when every byte was read.
    int readFailure = 0;
    // The job ends before this page: the page is blank because it does not exist.
    // A job whose preview pages on without end (a blank page past the last form
    // feed) never says so.
    bool beyondEnd = false;
};

// One print of a job.
struct PrintRun {
    int dpi = 600;                         // the device's resolution
    // Across the page (the main window's "A3-as lap nyomtatás (fekvő)"); a job laid
    // out on a paper of its own keeps that paper's portrait.
    bool landscape = false;
    const std::set<int>* pages = nullptr;  // only these pages; all when none
    // The length the device prints on from its printable corner, in sheet units
    // (0: the whole paper). A job laid out on a paper of its own is fitted into it.
    std::int64_t printableHeight = 0;
    std::int64_t printableWidth = 0;  // the same across
    // The device's page is the whole sheet, from its very corner (a PDF): a job laid
    // out on a paper of its own keeps an office printer's printable area on it
    // (kSheetMargin), as the preview shows it.
    bool wholeSheet = false;
};

// How the job's own texts are encoded: the bytes of a trace and of the text that
// norvexa-print writes.
enum class TextBytes {
    Cp1250,  // code page 1250, the bytes the job's letters are kept in
    Utf8,
};

class Document {
public:
    virtual ~Document() = default;

    // The sheet the job is laid out on.
    virtual const Sheet& sheet() const = 0;

    // The file holding the job's bytes as they came: what a raw route sends.
    virtual const std::string& file() const = 0;

    // One page's size at `dpi` as the preview draws it, measured on `metrics` (a
    // surface of that resolution) where the page follows the letters' size. Leaves
    // the surface at the font it measured with.
    virtual PageSize pageSize(Surface& metrics, int dpi) = 0;

    // The pages a print of the whole job makes.
    virtual int pageCount(Progress& progress) = 0;

    // The page the preview's last-page button goes to; 0: it stays where it is.
    virtual int lastPage(Progress& progress) = 0;

    // Draws page `page` (1-based) onto `image`, a surface of `size` that is
    // cleared first. Leaves the progress at 100 of 100. Checked failures raise
    // IoError; the image keeps what was drawn so far.
    [[nodiscard]] virtual DrawnPage drawPage(int page, Surface& image, const PageSize& size,
                                             Progress& progress) = 0;

    // Prints the job on `job` as one print job titled kPrintJobTitle, as `run`
    // says. A job that cannot begin raises IoError(160);
    // any failure aborts the job, so nothing half-printed reaches the printer, and
    // is raised (a byte of the job that cannot be read: StreamReadError).
    virtual void print(PrintJob& job, const PrintRun& run, Progress& progress) = 0;

    // The plain-text export for the windows' file and the mail: code page 1250,
    // CR LF line ends, a form feed before each page after the first. `target` is
    // created and open; it is closed, also when a failure is raised (IoError), so
    // that a later export to it works.
    virtual void exportText(TextFile& target, Progress& progress) = 0;

    // The encoding of the job's own texts.
    virtual TextBytes textBytes() const = 0;

    // The job's text as norvexa-print writes it, in textBytes(): each page's lines,
    // pages parted by form feeds. `target` is created and open, and closed as by
    // exportText.
    virtual void writeText(TextFile& target, Progress& progress) = 0;
};

// A byte of a job that could not be read: the output is incomplete. The window
// that started it decides what follows.
class StreamReadError : public IoError {
public:
    using IoError::IoError;
};

}  // namespace nx
