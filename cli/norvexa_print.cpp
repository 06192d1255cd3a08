// norvexa-print: the rendering core from the command line, for batch printing and for
// checking output without the windows.
//
//   norvexa-print [--converted] [--settings FILE] [--variable-line-height] [--landscape]
//                 [--dpi N] JOB ACTION
//
// Exit status: 0 done, 2 bad arguments (with the usage text), 1 an input/output error
// (with its message).
#include <QGuiApplication>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryDir>

#include <charconv>
#include <ctime>
#include <fstream>
#include <iterator>
#include <set>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "formats/open.h"
#include "intake/history.h"
#include "intake/paths.h"
#include "intake/settings.h"
#include "platform/cp1250_utf8.h"
#include "platform/files.h"
#include "platform/progress.h"
#include "platform/qt/background.h"
#include "platform/qt/pattern.h"
#include "formats/saved_pdf.h"
#include "platform/qt/painter_surface.h"
#include "platform/qt/print_job.h"
#include "platform/qt/raw_print.h"
#include "render/qt/pdf.h"
#include "render/qt/preview_image.h"

namespace {

constexpr const char* kUsage =
    "usage: norvexa-print [--converted] [--settings FILE] [--variable-line-height]\n"
    "                     [--landscape] [--dpi N] JOB ACTION\n"
    "       norvexa-print --escp [--pins 9|24] [--codepage 437|850|852]\n"
    "                     [--paper A4|A5|Letter|Legal|WxH] [--offset X,Y]\n"
    "                     [--background FILE[|FILE...]] [--dpi N] JOB ACTION\n"
    "       norvexa-print --raw JOB --printer NAME\n"
    "\n"
    "JOB is a host job file (code page 852), passed through the character map first,\n"
    "or with --converted a print stream already. With --escp, JOB is an Epson ESC/P\n"
    "job (24-pin ESC/P 2 unless --pins 9; code page 437 unless --codepage), read as\n"
    "it stands, on A4 (or --paper: a name, or WxH millimetres each from 50 to 600),\n"
    "moved by --offset X,Y millimetres (right and down, each -50 to 50) after a page\n"
    "longer or wider than the sheet's printable area is fitted onto it; a PDF page is\n"
    "the whole sheet, the job 1/6 inch from its top and left edges. --background\n"
    "draws a PNG, JPEG or BMP image (stretched over the sheet) or a PDF (page N under\n"
    "page N, its last under the rest) under every sheet; several files parted by |\n"
    "print the whole job once under each. Every action but --convert works on it.\n"
    "With --raw, the bytes of JOB go to the CUPS printer NAME unchanged, as a raw job,\n"
    "for a printer that reads them itself (a dot-matrix printer's ESC/P).\n"
    "\n"
    "ACTION is one of:\n"
    "  --convert OUT          write the print stream of JOB to OUT\n"
    "  --pdf OUT.pdf          print the whole job into a PDF file (A4)\n"
    "  --printer NAME         print the whole job on the CUPS printer NAME\n"
    "  --png OUT.png [--page N]\n"
    "                         render preview page N (default 1) into a PNG image\n"
    "  --text OUT.txt         write the plain-text export of JOB (with --escp: its\n"
    "                         text in UTF-8 lines, pages parted by form feeds)\n"
    "  --save-pdf DIR [--name TEMPLATE] [--split REGEX]\n"
    "                         save the job as PDF files in DIR, one a document:\n"
    "                         with --split a new document begins at each page one\n"
    "                         of whose lines REGEX matches; each file is named by\n"
    "                         TEMPLATE (default {fajl}_{datum}_{ido}) with the\n"
    "                         fields {fajl} {mappa} {datum} {ido} {oldal} and\n"
    "                         {szoveg:REGEX} (the first match in the document's\n"
    "                         text, its first group if it has one), .pdf added, an\n"
    "                         existing file never overwritten; the paths written\n"
    "                         are printed, one a line\n"
    "  --trace [--page N]     write the drawing calls of the printer output, or with\n"
    "                         --page of preview page N, to standard output:\n"
    "                           P n                   page n begins\n"
    "                           F size bold ww wh uw  font changed: points, bold 0/1,\n"
    "                                                 width and height of W, width of u\n"
    "                           T x y width HEX       text run at top-left (x, y)\n"
    "                           L x1 y1 x2 y2         line from the pen to (x2, y2)\n"
    "                           R x y width height    ink (with --escp: bit-image dots,\n"
    "                                                 blocks and shades)\n"
    "                         With --escp, HEX is the UTF-8 of the drawn text.\n"
    "\n"
    "Options:\n"
    "  --settings FILE        sizes, margins and line-height byte from a 28-byte\n"
    "                         settings file (defaults otherwise)\n"
    "  --variable-line-height line height follows the fonts of each line\n"
    "  --landscape            print in landscape orientation\n"
    "  --pdfa                 with --pdf or --save-pdf: PDF/A-1b\n"
    "  --dpi N                printer resolution for --pdf, --printer and --trace\n"
    "                         (default 600)\n"
    "\n"
    "norvexa-print --drive-layout [--drive-c DIR] prints drive C as the service\n"
    "chooses it (the last --drive-c, else $NORVEXA_DRIVE_C, else the default), then\n"
    "the service's and the host programs' directories on it, one per line.\n"
    "\n"
    "norvexa-print --history [--drive-c DIR] lists the service's job history, oldest\n"
    "first, one job a line, its fields parted by tabs: time (local, ISO 8601), source,\n"
    "format (line or escp), pages, printer (preview when shown, pdf when only saved),\n"
    "result (printed, shown, saved or failed: MESSAGE), the host path of the job's\n"
    "kept copy (- when it is gone) and the PDF files it was saved as (parted by |;\n"
    "- when none).\n"
    "\n"
    "Exit status: 0 done, 1 input/output error, 2 bad arguments.\n";

enum class Action { None, Convert, Pdf, Printer, Png, Text, Trace, SavePdf };

struct Options {
    bool converted = false;
    std::string settingsFile;
    bool variableLineHeight = false;
    bool landscape = false;
    int dpi = 600;
    std::optional<int> page;
    std::string job;
    Action action = Action::None;
    std::string target;  // output file or printer name
    // --escp: JOB is read as a watched folder's job with these keys (--pins is its
    // tipus, --codepage its kodlap).
    std::optional<nx::WatchedFolder> folderKeys;
    nx::WatchedFolder keys;  // what --pins, --codepage, --paper and --offset say
    bool lineFormatOnly = false;  // an option of the seven programs' jobs was given
    bool raw = false;             // JOB's bytes to the printer unchanged
    bool archival = false;        // --pdfa: PDF/A-1b
    std::string nameTemplate;     // --name, for --save-pdf
    std::string split;            // --split, for --save-pdf
};

// The launcher's question: which directory is drive C for these options (the last
// --drive-c, else NORVEXA_DRIVE_C, else the default), and which directories it
// holds for the service and the host programs. Every other argument is left to
// the program the launcher starts.
constexpr std::string_view kDriveLayout = "--drive-layout";

int printDriveLayout(int argc, char** argv) {
    std::printf("%s\n", nx::DriveTable::fromCommandLine(argc, argv).driveC().c_str());
    std::printf("%.*s\n", static_cast<int>(nx::paths::kServiceDirName.size()),
                nx::paths::kServiceDirName.data());
    for (std::string_view dir : nx::paths::kHostDirs)
        std::printf("%.*s\n", static_cast<int>(dir.size()), dir.data());
    return std::fflush(stdout) == 0 ? 0 : 1;
}

// The job history the service keeps on drive C, oldest first.
constexpr std::string_view kHistory = "--history";

int printHistory(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == kHistory) continue;
        if (a == "--drive-c" && i + 1 < argc) {
            ++i;
            continue;
        }
        if (a.substr(0, 10) == "--drive-c=") continue;
        std::fprintf(stderr, "norvexa-print: --history takes only --drive-c DIR: %s\n\n%s", argv[i], kUsage);
        return 2;
    }
    nx::FileSystem fs{nx::DriveTable::fromCommandLine(argc, argv)};
    nx::JobHistory history(fs);
    const std::vector<nx::HistoryEntry> entries = history.entries();
    if (const std::string problem = history.problem(); !problem.empty()) {
        std::fprintf(stderr, "norvexa-print: %s\n", problem.c_str());
        return 1;
    }
    for (const nx::HistoryEntry& e : entries) {
        const std::string copy = history.copyPath(e);
        std::string files;
        for (const std::string& f : e.files) files += (files.empty() ? "" : "|") + f;
        std::printf("%s\t%s\t%s\t%d\t%s\t%s\t%s\t%s\n", nx::localIsoTime(e.time).c_str(), e.source.c_str(),
                    e.format.c_str(), e.pages,
                    e.printer.empty() ? (e.result == nx::HistoryEntry::Result::Saved ? "pdf" : "preview") : e.printer.c_str(),
                    nx::resultText(e).c_str(), copy.empty() ? "-" : fs.hostPath(copy).c_str(),
                    files.empty() ? "-" : files.c_str());
    }
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

std::string native(const std::string& path);

struct UsageError {
    std::string message;
};

// A failure with the message to show (the input/output error's text).
struct Failure {
    std::string message;
};

bool parseInt(std::string_view s, int& value) {
    const char* end = s.data() + s.size();
    auto [p, ec] = std::from_chars(s.data(), end, value);
    return ec == std::errc() && p == end;
}

// Takes the option at args[i] (and its value, moving i past it) into `o`.
void parseOption(const std::vector<std::string>& args, std::size_t& i, Options& o) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string& {
        if (i + 1 >= args.size()) throw UsageError{a + " needs a value"};
        return args[++i];
    };
    auto setAction = [&](Action action, std::string target) {
        if (o.action != Action::None) throw UsageError{"only one action may be given (" + a + ")"};
        o.action = action;
        o.target = std::move(target);
    };
    if (a == "--converted") {
        o.converted = o.lineFormatOnly = true;
    } else if (a == "--settings") {
        o.settingsFile = value();
        o.lineFormatOnly = true;
    } else if (a == "--variable-line-height") {
        o.variableLineHeight = o.lineFormatOnly = true;
    } else if (a == "--landscape") {
        o.landscape = o.lineFormatOnly = true;
    } else if (a == "--escp") {
        o.folderKeys.emplace();
    } else if (a == "--pins") {
        const std::string& v = value();
        if (v != "9" && v != "24") throw UsageError{"--pins needs 9 or 24: " + v};
        o.keys.pins = v == "9" ? 9 : 24;
    } else if (a == "--codepage") {
        const std::string& v = value();
        int n = 0;
        if (!parseInt(v, n) || !nx::isJobCodePage(n)) throw UsageError{"--codepage needs 437, 850 or 852: " + v};
        o.keys.codePage = n;
    } else if (a == "--raw") {
        o.raw = true;
    } else if (a == "--paper") {
        const std::string& v = value();
        const auto paper = nx::paperNamed(v);
        if (!paper)
            throw UsageError{"--paper needs A4, A5, Letter, Legal or WxH in millimetres (each 50 to 600): " + v};
        o.keys.paper = nx::paperName(*paper);
    } else if (a == "--background") {
        const std::string& v = value();
        std::vector<std::string> files;
        // Host paths, each made absolute.
        std::string_view rest = v;
        for (;;) {
            const std::size_t bar = rest.find('|');
            const std::string file(rest.substr(0, bar));
            if (file.empty()) throw UsageError{"--background needs FILE or FILE|FILE...: " + v};
            files.push_back(native(file));
            if (bar == std::string_view::npos) break;
            rest.remove_prefix(bar + 1);
        }
        o.keys.backgrounds = std::move(files);
    } else if (a == "--offset") {
        const std::string& v = value();
        const auto offset = nx::parseOffset(v);
        if (!offset) throw UsageError{"--offset needs X,Y in millimetres, each from -50 to 50: " + v};
        std::tie(o.keys.offsetX, o.keys.offsetY) = *offset;
    } else if (a == "--dpi") {
        const std::string& v = value();
        if (!parseInt(v, o.dpi) || o.dpi < 1 || o.dpi > 9600)
            throw UsageError{"--dpi needs a whole number from 1 to 9600: " + v};
    } else if (a == "--page") {
        const std::string& v = value();
        int n = 0;
        if (!parseInt(v, n) || n < 1) throw UsageError{"--page needs a page number from 1: " + v};
        o.page = n;
    } else if (a == "--convert") {
        setAction(Action::Convert, value());
    } else if (a == "--pdf") {
        setAction(Action::Pdf, value());
    } else if (a == "--printer") {
        setAction(Action::Printer, value());
    } else if (a == "--png") {
        setAction(Action::Png, value());
    } else if (a == "--text") {
        setAction(Action::Text, value());
    } else if (a == "--trace") {
        setAction(Action::Trace, std::string());
    } else if (a == "--save-pdf") {
        setAction(Action::SavePdf, value());
    } else if (a == "--name") {
        o.nameTemplate = value();
        if (const std::string why = nx::nameTemplateProblem(o.nameTemplate, nx::qt::compilePattern); !why.empty())
            throw UsageError{"--name: " + why};
    } else if (a == "--split") {
        o.split = value();
        std::string why;
        if (!nx::qt::compilePattern(o.split, why)) throw UsageError{"--split: the pattern does not compile: " + why};
    } else if (a == "--pdfa") {
        o.archival = true;
    } else {
        throw UsageError{"unknown option " + a};
    }
}

Options parse(const std::vector<std::string>& args) {
    Options o;
    bool endOfOptions = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (endOfOptions || a.empty() || a[0] != '-' || a == "-") {
            if (!o.job.empty()) throw UsageError{"more than one JOB: " + a};
            o.job = a;
        } else if (a == "--") {
            endOfOptions = true;
        } else {
            parseOption(args, i, o);
        }
    }
    if (o.job.empty()) throw UsageError{"no JOB given"};
    if (o.action == Action::None) throw UsageError{"no ACTION given"};
    if (o.target.empty() && o.action != Action::Trace) throw UsageError{"an empty output name"};
    if (o.page && o.action != Action::Png && o.action != Action::Trace)
        throw UsageError{"--page goes with --png or --trace only"};
    const bool escpOnly = std::find_if(args.begin(), args.end(), [](const std::string& a) {
                              return a == "--pins" || a == "--codepage" || a == "--paper" || a == "--offset" ||
                                     a == "--background";
                          }) != args.end();
    if (escpOnly && !o.folderKeys)
        throw UsageError{"--pins, --codepage, --paper, --offset and --background go with --escp only"};
    if (o.folderKeys && (o.lineFormatOnly || o.action == Action::Convert))
        throw UsageError{"--escp goes without --convert, --converted, --settings, "
                         "--variable-line-height and --landscape"};
    if (o.raw && (o.action != Action::Printer || o.folderKeys || o.lineFormatOnly))
        throw UsageError{"--raw goes with --printer only"};
    if ((!o.nameTemplate.empty() || !o.split.empty()) && o.action != Action::SavePdf)
        throw UsageError{"--name and --split go with --save-pdf only"};
    if (o.archival && o.action != Action::SavePdf && o.action != Action::Pdf)
        throw UsageError{"--pdfa goes with --pdf or --save-pdf only"};
    if (o.folderKeys) o.folderKeys = o.keys;
    return o;
}

// Native paths, made absolute so that the drive table takes them as they are.
std::string native(const std::string& path) {
    std::error_code ec;
    const auto abs = std::filesystem::absolute(path, ec);
    return ec ? path : abs.lexically_normal().string();
}

std::string ioText(const std::string& path, int code) {
    return path + ": " + nx::withFullStop(nx::ioMessage(code));
}

nx::Settings loadSettings(nx::FileSystem& fs, const std::string& path) {
    nx::Settings settings;
    if (const int rc = nx::readSettingsFile(fs, path, settings)) throw Failure{ioText(path, rc)};
    return settings;
}

std::string hex(std::string_view bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

// Writes the interpreter's calls on a surface, then passes them on to the real one.
class TraceSurface final : public nx::Surface {
public:
    // The surface takes UTF-8; `asDrawn` reports texts so, otherwise in code page
    // 1250, the line format's own bytes.
    explicit TraceSurface(std::FILE* out, bool asDrawn = false) : out_(out), asDrawn_(asDrawn) {}
    void setInner(nx::Surface& inner) { inner_ = &inner; }

    void setFontFace(std::string_view face) override { inner_->setFontFace(face); }
    void setFontSize(int points) override { inner_->setFontSize(points); }
    int fontSize() const override { return inner_->fontSize(); }
    void setBold(bool bold) override { inner_->setBold(bold); }
    bool bold() const override { return inner_->bold(); }
    int textWidth(std::string_view text) override { return inner_->textWidth(text); }
    int textHeight(std::string_view text) override { return inner_->textHeight(text); }
    void drawText(int x, int y, std::string_view text) override {
        reportFont();
        const std::string bytes = asDrawn_ ? std::string(text) : nx::utf8ToCp1250(text);
        std::fprintf(out_, "T %d %d %d %s\n", x, y, inner_->textWidth(text), hex(bytes).c_str());
        inner_->drawText(x, y, text);
    }
    void moveTo(int x, int y) override {
        penX_ = x;
        penY_ = y;
        inner_->moveTo(x, y);
    }
    void lineTo(int x, int y) override {
        reportFont();
        std::fprintf(out_, "L %d %d %d %d\n", penX_, penY_, x, y);
        penX_ = x;
        penY_ = y;
        inner_->lineTo(x, y);
    }
    void fillRect(int x1, int y1, int x2, int y2) override { inner_->fillRect(x1, y1, x2, y2); }
    void setItalic(bool italic) override { inner_->setItalic(italic); }
    void setFontStretch(int percent) override { inner_->setFontStretch(percent); }
    void setTransparentText(bool transparent) override { inner_->setTransparentText(transparent); }
    void drawBackground(std::string_view file, int page) override { inner_->drawBackground(file, page); }
    void fillInk(int x1, int y1, int x2, int y2, int percent) override {
        std::fprintf(out_, "R %d %d %d %d\n", x1, y1, x2 - x1, y2 - y1);
        inner_->fillInk(x1, y1, x2, y2, percent);
    }

    void page(int n) { std::fprintf(out_, "P %d\n", n); }

private:
    // The font in force for the next drawing call, when it differs from the last one
    // reported.
    void reportFont() {
        const int size = inner_->fontSize();
        const bool b = inner_->bold();
        if (reported_ && size == size_ && b == bold_) return;
        reported_ = true;
        size_ = size;
        bold_ = b;
        std::fprintf(out_, "F %d %d %d %d %d\n", inner_->fontSize(), inner_->bold() ? 1 : 0,
                     inner_->textWidth("W"), inner_->textHeight("W"), inner_->textWidth("u"));
    }
    std::FILE* out_;
    bool asDrawn_;
    nx::Surface* inner_ = nullptr;
    bool reported_ = false;
    int size_ = 0;
    bool bold_ = false;
    int penX_ = 0, penY_ = 0;
};

// A print job that traces its pages and its surface's calls.
class TracePrintJob final : public nx::PrintJob {
public:
    TracePrintJob(nx::PrintJob& inner, std::FILE* out, bool asDrawn = false)
        : inner_(inner), trace_(out, asDrawn) {}
    void setTitle(std::string_view t) override { inner_.setTitle(t); }
    void setLandscape(bool l) override { inner_.setLandscape(l); }
    bool begin() override {
        if (!inner_.begin()) return false;
        trace_.setInner(inner_.surface());
        trace_.page(page_ = 1);
        return true;
    }
    void newPage() override {
        inner_.newPage();
        trace_.setInner(inner_.surface());
        trace_.page(++page_);
    }
    void end() override { inner_.end(); }
    void abort() override { inner_.abort(); }
    nx::Surface& surface() override { return trace_; }

private:
    nx::PrintJob& inner_;
    TraceSurface trace_;
    int page_ = 0;
};

void setUpPrinter(QPrinter& printer, const Options& o) {
    printer.setResolution(o.dpi);
    printer.setCreator(QStringLiteral("norvexa-print"));
}

// What every action works with: the options, the job opened as a document, and a
// temporary directory.
struct Job {
    const Options& o;
    nx::Document& doc;
    QTemporaryDir& temp;
    nx::NoProgress progress;
    const std::string& path;  // JOB as given, for messages

    nx::PrintRun printRun(int dpi) const { return {dpi, o.landscape, nullptr}; }
    // Traces show texts in the job's own encoding.
    bool tracesAsDrawn() const { return doc.textBytes() == nx::TextBytes::Utf8; }
};

void printJob(Job& j, QPrinter& printer, bool trace) {
    // A job laid out on a paper of its own gets that paper; otherwise the printer's.
    const nx::qt::SheetOnPrinter sheet(printer, j.doc.sheet());
    nx::PrintRun run = j.printRun(printer.resolution());
    run.printableHeight = sheet.printableHeight();
    run.printableWidth = sheet.printableWidth();
    // A PDF's page is the whole sheet, as savePdf makes it.
    run.wholeSheet = printer.outputFormat() == QPrinter::PdfFormat && j.doc.sheet().paper.has_value();
    nx::qt::QtPrintJob job(printer);
    if (trace) {
        TracePrintJob traced(job, stdout, j.tracesAsDrawn());
        j.doc.print(traced, run, j.progress);
    } else {
        j.doc.print(job, run, j.progress);
    }
    if (!job.succeeded()) throw Failure{"the print job could not be completed"};
}

constexpr int kScreenDpi = 96;

void renderPreview(Job& j, int page, const QString& png, bool trace) {
    // Prepared as the preview window prepares its image.
    const nx::PageSize size = nx::qt::pageSizeAt(j.doc, kScreenDpi);
    QImage image = nx::qt::newPageImage(size);
    QPainter painter(&image);
    nx::qt::PainterSurface surface(painter, kScreenDpi, nx::qt::previewFill());
    nx::DrawnPage drawn;
    if (trace) {
        TraceSurface traced(stdout, j.tracesAsDrawn());
        traced.setInner(surface);
        traced.page(page);
        drawn = j.doc.drawPage(page, traced, size, j.progress);
    } else {
        drawn = j.doc.drawPage(page, surface, size, j.progress);
    }
    surface.flush();
    painter.end();
    if (drawn.beyondEnd)
        throw Failure{j.path + ": the job has " + std::to_string(j.doc.pageCount(j.progress)) + " page(s)"};
    if (!png.isEmpty() && !image.save(png, "PNG"))
        throw Failure{png.toStdString() + ": the image could not be written"};
    // The page drawn up to the unreadable byte has been written; the run fails.
    if (drawn.readFailure != 0) throw Failure{j.path + ": a byte could not be read"};
}

QPrinter& pdfPrinter(QPrinter& printer, const Options& o, const QString& file) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    printer.setPageSize(QPageSize(QPageSize::A4));
    setUpPrinter(printer, o);
    return printer;
}

void printPdf(Job& j) {
    // The routine of the preview's PDF and the mail attachment.
    nx::qt::savePdf(j.doc, QString::fromStdString(native(j.o.target)), j.progress, j.printRun(j.o.dpi), j.o.archival);
}

// Each document of the job (the whole job, or with --split each part that begins at
// a page a line of which matches) as a PDF of its own in the directory, named by
// --name; the paths written, one a line.
void savePdfs(Job& j, nx::FileSystem& fs) {
    const std::string dir = native(j.o.target);
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) throw Failure{dir + ": no such directory"};
    // The job's text, page by page, as UTF-8.
    if (!j.temp.isValid()) throw Failure{"no temporary directory"};
    const std::string textFile = j.temp.filePath(QStringLiteral("szoveg.txt")).toStdString();
    nx::TextFile target(fs);
    target.assign(textFile);
    if (const int rc = target.rewrite()) throw Failure{ioText(textFile, rc)};
    j.doc.writeText(target, j.progress);
    std::string text;
    {
        std::ifstream in(textFile, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (j.doc.textBytes() == nx::TextBytes::Cp1250) text = nx::cp1250ToUtf8(text);
    std::vector<std::string> pages = nx::pagesOfText(text);
    const int count = j.doc.pageCount(j.progress);
    pages.resize(static_cast<std::size_t>(std::max(1, count)));
    std::vector<int> starts = {1};
    std::vector<std::string> told;
    if (!j.o.split.empty()) {
        std::string why;
        const auto separator = nx::qt::compilePattern(j.o.split, why);
        starts = nx::documentStarts(pages, *separator);
        if (separator->gaveUp()) told.push_back("a minta illesztése túl sokáig tartana: " + j.o.split);
    }
    const std::filesystem::path job(j.path);
    for (std::size_t k = 0; k < starts.size(); ++k) {
        const int first = starts[k];
        const int last = k + 1 < starts.size() ? starts[k + 1] - 1 : std::max(first, count);
        nx::NameFields fields;
        fields.file = job.stem().string();
        fields.folder = job.parent_path().filename().string();
        fields.takenAt = static_cast<std::int64_t>(std::time(nullptr));
        fields.firstPage = first;
        fields.pages.assign(pages.begin() + (first - 1), pages.begin() + std::min<int>(last, static_cast<int>(pages.size())));
        const std::string name = nx::savedName(j.o.nameTemplate, fields, nx::qt::compilePattern, told);
        const std::string path = nx::freshPdfPath(fs, dir, name);
        std::set<int> chosen;
        for (int p = first; p <= last; ++p) chosen.insert(p);
        nx::PrintRun run = j.printRun(j.o.dpi);
        run.pages = &chosen;
        nx::qt::savePdf(j.doc, QString::fromStdString(path), j.progress, run, j.o.archival);
        std::printf("%s\n", path.c_str());
    }
    for (const std::string& message : told) std::fprintf(stderr, "norvexa-print: %s\n", message.c_str());
    std::fflush(stdout);
    if (std::ferror(stdout)) throw Failure{"standard output: the paths could not be written"};
}

void printOnPrinter(Job& j) {
    const QString name = QString::fromStdString(j.o.target);
    if (!QPrinterInfo::availablePrinterNames().contains(name))
        throw Failure{j.o.target + ": no such printer"};
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(name);
    setUpPrinter(printer, j.o);
    printJob(j, printer, false);
}

void writePng(Job& j) {
    renderPreview(j, j.o.page.value_or(1), QString::fromStdString(native(j.o.target)), false);
}

void writeText(Job& j, nx::FileSystem& fs) {
    nx::TextFile target(fs);
    const std::string out = native(j.o.target);
    target.assign(out);
    if (const int rc = target.rewrite()) throw Failure{ioText(out, rc)};
    j.doc.writeText(target, j.progress);
}

void writeTrace(Job& j) {
    if (j.o.page) {
        renderPreview(j, *j.o.page, QString(), true);
    } else {
        // The calls of a real print job at --dpi, into a PDF that is thrown away.
        if (!j.temp.isValid()) throw Failure{"no temporary directory"};
        QPrinter printer(QPrinter::HighResolution);
        printJob(j, pdfPrinter(printer, j.o, j.temp.filePath(QStringLiteral("trace.pdf"))), true);
    }
    std::fflush(stdout);
    if (std::ferror(stdout)) throw Failure{"standard output: the trace could not be written"};
}

int run(const Options& o) {
    nx::FileSystem fs{nx::DriveTable(nx::DriveTable::defaultDriveC())};
    nx::Settings settings;
    if (!o.settingsFile.empty()) settings = loadSettings(fs, native(o.settingsFile));
    const bool variable = o.variableLineHeight || settings.variableLineHeight != 0;

    const std::string job = native(o.job);
    {
        nx::ByteFile probe(fs);
        probe.assign(job);
        if (const int rc = probe.reset()) throw Failure{ioText(job, rc)};
        (void)probe.close();  // opened only to report a missing JOB first
    }
    if (o.action == Action::Convert) {
        nx::convertHostJob(fs, job, native(o.target));
        return 0;
    }
    if (o.raw) {
        const QString name = QString::fromStdString(o.target);
        if (!nx::qt::printerExists(name)) throw Failure{o.target + ": no such printer"};
        const QString why = nx::qt::sendRaw(name, QString::fromStdString(job), QString::fromStdString(o.job));
        if (!why.isEmpty()) throw Failure{why.toStdString()};
        return 0;
    }

    // A background that cannot be drawn is told before anything is written.
    if (o.folderKeys)
        for (const std::string& file : o.folderKeys->backgrounds)
            if (const std::string problem = nx::qt::backgroundProblem(file); !problem.empty()) throw Failure{problem};

    // Unless --converted, a job of the seven programs goes through the character map
    // first, into a temporary print stream (a folder's job is read as it stands).
    QTemporaryDir temp;
    nx::JobOrigin origin{o.folderKeys, {}};
    if (!o.converted) {
        if (!temp.isValid()) throw Failure{"no temporary directory: " + temp.errorString().toStdString()};
        origin.convertInto = temp.filePath(QStringLiteral("nyomtat1.txt")).toStdString();
    }
    const std::unique_ptr<nx::Document> doc =
        nx::openDocument(fs, job, origin, {settings, [variable] { return variable; }});
    Job j{o, *doc, temp, {}, job};
    switch (o.action) {
        case Action::Pdf: printPdf(j); break;
        case Action::Printer: printOnPrinter(j); break;
        case Action::Png: writePng(j); break;
        case Action::Text: writeText(j, fs); break;
        case Action::Trace: writeTrace(j); break;
        case Action::SavePdf: savePdfs(j, fs); break;
        case Action::Convert:
        case Action::None: break;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
#if defined(__GLIBC__)
    // The PDF engine builds every page in a buffer of a few hundred kilobytes; keeping
    // such blocks in the heap instead of mapping and unmapping them page after page
    // saves a tenth of the time of a long job.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
#endif
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a == kDriveLayout) return printDriveLayout(argc, argv);
        if (a == kHistory) return printHistory(argc, argv);
    }
    Options options;
    try {
        options = parse(args);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "norvexa-print: %s\n\n%s", e.message.c_str(), kUsage);
        return 2;
    }
    // No display is needed.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QGuiApplication app(qtArgc, qtArgv);
    try {
        return run(options);
    } catch (const Failure& f) {
        std::fprintf(stderr, "norvexa-print: %s\n", f.message.c_str());
    } catch (const nx::IoError& e) {
        std::fprintf(stderr, "norvexa-print: %s\n", nx::withFullStop(e.what()).c_str());
    }
    return 1;
}
