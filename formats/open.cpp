#include "formats/open.h"

#include "escp/codepages.h"
#include "escp/document.h"
#include "intake/jobcopy.h"

namespace nx {

namespace {

escp::Options escpOptionsOf(const WatchedFolder& folder) {
    escp::Options o;
    o.pins = folder.pins == 9 ? escp::Pins::Nine : escp::Pins::TwentyFour;
    if (const auto page = escp::codePageOf(folder.codePage)) o.codePage = *page;
    return o;
}

IoError failureAt(const std::string& path, int code) {
    return IoError(code, path + ": " + withFullStop(ioMessage(code)));
}

}  // namespace

Sheet sheetOf(FileSystem& fs, const WatchedFolder& folder) {
    Sheet sheet{paperNamed(folder.paper).value_or(kA4), sheetUnitsOfMillimetres(folder.offsetX),
                sheetUnitsOfMillimetres(folder.offsetY)};
    // A raw route's bytes go as they are: nothing is drawn under them.
    if (!folder.raw)
        for (const std::string& file : folder.backgrounds) sheet.backgrounds.push_back(fs.hostPath(file));
    return sheet;
}

std::unique_ptr<Document> openDocument(FileSystem& fs, const std::string& path, const JobOrigin& origin,
                                       PrintSettings settings) {
    if (origin.folder)
        return std::make_unique<escp::Document>(fs, path, escpOptionsOf(*origin.folder),
                                               sheetOf(fs, *origin.folder));
    if (origin.convertInto.empty()) return std::make_unique<LineDocument>(fs, path, std::move(settings));
    convertHostJob(fs, path, origin.convertInto);
    return std::make_unique<LineDocument>(fs, origin.convertInto, std::move(settings));
}

void convertHostJob(FileSystem& fs, const std::string& job, const std::string& out) {
    ByteFile in(fs);
    in.assign(job);
    if (const int rc = in.reset()) throw failureAt(job, rc);
    NoProgress progress;
    const JobCopyResult r = convertJob(fs, in, out, progress);
    if (r.status == JobCopyResult::Status::CreateFailed) throw failureAt(out, r.code);
    if (r.status == JobCopyResult::Status::ReadFailed) throw failureAt(job, r.code);
}

bool isJobCodePage(int codePage) { return escp::codePageOf(codePage).has_value(); }

}  // namespace nx
