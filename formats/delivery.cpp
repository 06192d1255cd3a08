#include "formats/delivery.h"

#include <algorithm>

#include "formats/saved_pdf.h"
#include "platform/cp1250_utf8.h"

namespace nx {

namespace {

std::string joined(const std::string& dir, std::string_view name) {
    const char separator = dir.find('\\') == std::string::npos && dir.find('/') != std::string::npos ? '/' : '\\';
    std::string path = dir;
    if (!path.empty() && path.back() != '/' && path.back() != '\\') path += separator;
    return path + std::string(name);
}

// The last part of a path, without its extension when `stem`.
std::string lastPart(const std::string& path, bool stem) {
    std::string name = path;
    while (!name.empty() && (name.back() == '\\' || name.back() == '/')) name.pop_back();
    const std::size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name = name.substr(slash + 1);
    if (stem) {
        const std::size_t dot = name.rfind('.');
        if (dot != std::string::npos && dot > 0) name.resize(dot);
    }
    return name;
}

// The document's text, page by page (UTF-8), through a file of the service's own.
std::vector<std::string> pageTexts(FileSystem& fs, Document& doc, Progress& progress) {
    TextFile target(fs);
    target.assign(kDeliveryText);
    check(target.rewrite());
    doc.writeText(target, progress);
    ByteFile in(fs);
    in.assign(kDeliveryText);
    check(in.reset());
    std::string text;
    std::uint8_t block[16384];
    for (;;) {
        std::size_t got = 0;
        const ResultCode rc = in.readBlock(block, sizeof block, got);
        if (rc != kOk) {
            (void)in.close();
            throw IoError(rc);
        }
        if (got == 0) break;
        text.append(reinterpret_cast<const char*>(block), got);
    }
    (void)in.close();               // read only
    (void)fs.erase(kDeliveryText);  // a working file: one left behind is written over next time
    if (doc.textBytes() == TextBytes::Cp1250) text = cp1250ToUtf8(text);
    return pagesOfText(text);
}

}  // namespace

std::string pdfDirProblem(FileSystem& fs, const WatchedFolder& folder) {
    const std::string& dir = folder.pdfDir;
    if (!isFolderPath(dir)) return "a PDF mappa nem megadott vagy nem C:\\... vagy teljes útvonal: " + dir;
    std::vector<DirEntry> entries;
    if (fs.listFiles(dir, entries) != kOk) return "a PDF mappa nem érhető el: " + dir;
    // A file can be made there: one of ours, gone again at once.
    ByteFile probe(fs);
    probe.assign(joined(dir, ".norvexa-proba"));
    if (const ResultCode rc = probe.rewrite())
        return "a PDF mappába nem írható: " + dir + " (" + cp1250ToUtf8(ioMessage(rc)) + ")";
    (void)probe.close();
    (void)probe.erase();  // nothing written: a probe left behind does no harm
    return {};
}

Delivery deliver(FileSystem& fs, Document& doc, const std::string& jobPath, const WatchedFolder& folder,
                 std::int64_t takenAt, Outputs& outputs, const PatternCompiler& compile, Progress& progress) {
    Delivery d;
    const bool save = savesPdf(folder);
    if (save) {
        if (const std::string why = pdfDirProblem(fs, folder); !why.empty())
            throw IoError(kPathNotFound, utf8ToCp1250(why));
    }
    // Pages are counted only where documents are saved (a print reads the job once).
    const int count = save ? std::max(1, doc.pageCount(progress)) : 1;
    // The documents: the whole job, or its parts where a page matches the separator.
    std::vector<std::string> pages;
    std::vector<int> starts = {1};
    if (save && (!folder.split.empty() || folder.nameTemplate.find("{szoveg") != std::string::npos)) {
        pages = pageTexts(fs, doc, progress);
        pages.resize(static_cast<std::size_t>(count));
    }
    if (save && !folder.split.empty()) {
        std::string why;
        if (const std::unique_ptr<LineMatcher> separator = compile(folder.split, why)) {
            starts = documentStarts(pages, *separator);
            if (separator->gaveUp()) d.told.push_back("a minta illesztése túl sokáig tartana: " + folder.split);
        } else {
            d.told.push_back("hibás minta: elvalaszto=" + folder.split + (why.empty() ? "" : " (" + why + ")"));
        }
    }
    const JobRoute route = routeOf(folder);
    for (std::size_t k = 0; k < starts.size(); ++k) {
        const int first = starts[k];
        const int last = k + 1 < starts.size() ? starts[k + 1] - 1 : count;
        std::set<int> chosen;
        for (int p = first; p <= last; ++p) chosen.insert(p);
        const std::set<int>* part = starts.size() > 1 ? &chosen : nullptr;
        if (!folder.pdfOnly) {
            const Printed printed = outputs.print(doc, part, route);
            d.printer = printed.printer;
            d.pages += printed.pages;
        }
        if (save) {
            NameFields fields;
            fields.file = lastPart(jobPath, true);
            fields.folder = lastPart(folder.path, false);
            fields.takenAt = takenAt;
            fields.firstPage = first;
            if (!pages.empty())
                fields.pages.assign(pages.begin() + (first - 1), pages.begin() + std::min<std::ptrdiff_t>(last, static_cast<std::ptrdiff_t>(pages.size())));
            const std::string name = savedName(folder.nameTemplate, fields, compile, d.told);
            const std::string path = fs.hostPath(freshPdfPath(fs, folder.pdfDir, name));
            outputs.savePdf(doc, part, path, folder.archival);
            d.files.push_back(path);
            if (folder.pdfOnly) d.pages += last - first + 1;
        }
    }
    d.documents = static_cast<int>(starts.size());
    std::sort(d.told.begin(), d.told.end());
    d.told.erase(std::unique(d.told.begin(), d.told.end()), d.told.end());
    return d;
}

}  // namespace nx
