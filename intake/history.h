// The job history: every job the service took, what became of it, and a copy of the
// job's bytes as its host wrote them, so that any recent job can be printed again.
//
// It lives in its own folder, c:\norvexa\elozmeny\: the index "elozmeny.txt" and one
// copy per job ("000123.job"). The index is written whole or not at all (a temporary
// file put in its place); a copy is written and closed before the index that names
// it, and a copy is deleted only after an index without it is in place. So a crash
// or a full disk at any moment leaves the previous history whole. The newest
// `maxEntries` jobs are kept, and copies of at most `maxBytes` in all, the oldest
// dropped first.
//
// Nothing here raises: a history that cannot be read or written gives its message
// (UTF-8) through problem(), and the job it was about goes on as if there were none.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "intake/folders.h"
#include "platform/files.h"

namespace nx {

struct HistoryEntry {
    enum class Result { Printed, Shown, Failed, Saved };

    std::int64_t id = 0;        // in the order the jobs were kept, from 1
    std::int64_t time = 0;      // seconds since 1970 (UTC)
    std::string source;         // the job's path as the user knows it (UTF-8)
    std::string format;         // the job format's name ("line", "escp")
    int pages = 0;
    std::string printer;        // the printer it went to; empty: shown in the preview
    Result result = Result::Printed;
    std::string message;        // why it failed (UTF-8)
    // The kept copy's file name in the history folder, and its size. Empty when the
    // job's bytes could not be kept.
    std::string copy;
    std::int64_t bytes = 0;
    // A watched folder's job: the folder's keys as they were (its route, its
    // interpretation). None for the seven job paths.
    std::optional<WatchedFolder> folder;
    // The PDF files the job was saved as (host paths), in order.
    std::vector<std::string> files = {};
};

// The result as norvexa-print lists it: "printed", "shown", "saved", "failed: MESSAGE".
std::string resultText(const HistoryEntry& entry);
// `time` as local ISO 8601 with seconds ("2026-12-09T14:03:59").
std::string localIsoTime(std::int64_t time);
// A job path of the seven host programs as the user knows it ("C:\TALVERA\WNYOMTAT.TXT");
// any other path as it is.
std::string sourceName(std::string_view jobPath);

class JobHistory {
public:
    static constexpr std::string_view kDir = "c:\\norvexa\\elozmeny";
    static constexpr std::string_view kIndex = "c:\\norvexa\\elozmeny\\elozmeny.txt";
    static constexpr int kMaxEntries = 200;
    static constexpr std::int64_t kMaxBytes = 200ll * 1024 * 1024;

    explicit JobHistory(FileSystem& fs, int maxEntries = kMaxEntries, std::int64_t maxBytes = kMaxBytes)
        : fs_(fs), maxEntries_(maxEntries), maxBytes_(maxBytes) {}

    // The jobs, oldest first. A missing history is empty; one that cannot be read
    // gives nothing and sets problem().
    std::vector<HistoryEntry> entries();

    // A copy of the file `job` (its bytes as they are) for the entry about to be
    // added; `checksum` is the FNV-1a of the bytes the job was taken with, and a
    // copy whose bytes differ from them is not kept. Returns the copy's name in the
    // history folder and sets `bytes`, or empty when nothing could be kept.
    std::string keepCopy(std::string_view job, std::uint64_t checksum, std::int64_t& bytes);

    // Adds the entry (its id and, when zero, its time are set here) and drops the
    // oldest beyond the limits. False when the history could not be written; the
    // previous history then stands.
    bool add(HistoryEntry entry);

    // The DOS path of an entry's copy, or empty when its copy is gone.
    std::string copyPath(const HistoryEntry& entry);

    // The last failure's message, once: it is cleared when read. Empty when none is
    // new since the history last worked.
    std::string problem();

private:
    bool readIndex(std::vector<HistoryEntry>& out);
    bool writeIndex(const std::vector<HistoryEntry>& entries);
    void fail(const std::string& message);
    void dropUnnamedCopies(const std::vector<HistoryEntry>& entries);

    FileSystem& fs_;
    int maxEntries_;
    std::int64_t maxBytes_;
    std::string problem_;
    bool told_ = false;  // the current run of failures was reported
};

// The index as text and back (for the history and for its tests).
std::string formatHistory(const std::vector<HistoryEntry>& entries);
std::optional<std::vector<HistoryEntry>> parseHistory(std::string_view text);

}  // namespace nx
