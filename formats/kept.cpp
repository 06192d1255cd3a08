#include "formats/kept.h"

namespace nx {

std::string formatName(const std::optional<WatchedFolder>& folder) { return folder ? "escp" : "line"; }

HistoryEntry takenEntry(JobHistory& history, const std::string& job, const std::optional<WatchedFolder>& folder,
                        std::optional<std::uint64_t> checksum) {
    HistoryEntry entry;
    entry.source = sourceName(job);
    entry.format = formatName(folder);
    entry.folder = folder;
    if (checksum) entry.copy = history.keepCopy(job, *checksum, entry.bytes);
    return entry;
}

std::optional<KeptJob> openKept(FileSystem& fs, JobHistory& history, const HistoryEntry& entry,
                                const std::string& convertInto) {
    const std::string copy = history.copyPath(entry);
    if (copy.empty()) return std::nullopt;
    if (entry.folder) return KeptJob{copy, {entry.folder, {}}};
    convertHostJob(fs, copy, convertInto);
    return KeptJob{convertInto, {}};
}

JobRoute reprintRoute(const HistoryEntry& entry, const std::function<bool(const std::string&)>& exists) {
    JobRoute route;
    route.raw = entry.folder && entry.folder->raw;
    if (!entry.printer.empty() && exists(entry.printer)) route.printer = entry.printer;
    return route;
}

}  // namespace nx
