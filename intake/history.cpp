#include "intake/history.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <set>

#include "intake/paths.h"
#include "platform/cp1250_utf8.h"

namespace nx {

namespace {

constexpr std::string_view kHeader = "NORVEXA ELOZMENY 1";
constexpr std::string_view kIndexTemp = "c:\\norvexa\\elozmeny\\.elozmeny.uj";
constexpr std::string_view kCopySuffix = ".job";
constexpr std::size_t kFields = 18;
// An index written before a folder's backgrounds were kept has two fields less, one
// written before the saved files were, one less.
constexpr std::size_t kFieldsBeforeBackgrounds = 16;
constexpr std::size_t kFieldsBeforeFiles = 17;

std::string inDir(std::string_view name) { return std::string(JobHistory::kDir) + "\\" + std::string(name); }

// A field of the index: a backslash, a tab, a line break are written as \\, \t, \n.
std::string escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\t') out += "\\t";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

std::string unescaped(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

std::vector<std::string_view> split(std::string_view line, char sep) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = line.find(sep, start);
        out.push_back(line.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos) return out;
        start = at + 1;
    }
}

template <typename T>
bool number(std::string_view text, T& out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

const char* resultKey(HistoryEntry::Result r) {
    switch (r) {
        case HistoryEntry::Result::Printed: return "printed";
        case HistoryEntry::Result::Shown: return "shown";
        case HistoryEntry::Result::Failed: return "failed";
        case HistoryEntry::Result::Saved: return "saved";
    }
    return "failed";
}

std::optional<HistoryEntry::Result> resultOf(std::string_view key) {
    if (key == "printed") return HistoryEntry::Result::Printed;
    if (key == "shown") return HistoryEntry::Result::Shown;
    if (key == "failed") return HistoryEntry::Result::Failed;
    if (key == "saved") return HistoryEntry::Result::Saved;
    return std::nullopt;
}

// A copy's name: the entry's id, six digits or more.
std::string copyName(std::int64_t id) {
    char name[32];
    std::snprintf(name, sizeof name, "%06lld", static_cast<long long>(id));
    return name + std::string(kCopySuffix);
}

std::uint64_t fnv1a(std::uint64_t hash, const std::uint8_t* data, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) hash = (hash ^ data[i]) * 1099511628211ull;
    return hash;
}

// Files parted by "|", each as it was written; none for an empty field.
std::vector<std::string> splitFiles(const std::string& files) {
    std::vector<std::string> out;
    for (std::size_t from = 0; !files.empty();) {
        const std::size_t bar = files.find('|', from);
        out.push_back(files.substr(from, bar == std::string::npos ? std::string::npos : bar - from));
        if (bar == std::string::npos) break;
        from = bar + 1;
    }
    return out;
}

std::string utf8Message(int code) { return cp1250ToUtf8(withFullStop(ioMessage(code))); }

}  // namespace

std::string resultText(const HistoryEntry& entry) {
    if (entry.result != HistoryEntry::Result::Failed) return resultKey(entry.result);
    return "failed: " + entry.message;
}

std::string localIsoTime(std::int64_t time) {
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

std::string sourceName(std::string_view jobPath) {
    for (std::string_view candidate : paths::kJobCandidates) {
        if (candidate.size() != jobPath.size()) continue;
        std::string upper;
        for (std::size_t i = 0; i < candidate.size(); ++i) {
            const char c = jobPath[i];
            if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != candidate[i]) break;
            upper += candidate[i] >= 'a' && candidate[i] <= 'z' ? static_cast<char>(candidate[i] - 'a' + 'A') : candidate[i];
        }
        if (upper.size() == candidate.size()) return upper;
    }
    return std::string(jobPath);
}

std::string formatHistory(const std::vector<HistoryEntry>& entries) {
    std::string text(kHeader);
    text += '\n';
    for (const HistoryEntry& e : entries) {
        const WatchedFolder none;
        const WatchedFolder& f = e.folder ? *e.folder : none;
        const std::string fields[kFields] = {
            std::to_string(e.id),
            std::to_string(e.time),
            escaped(e.source),
            escaped(e.format),
            std::to_string(e.pages),
            escaped(e.printer),
            resultKey(e.result),
            escaped(e.message),
            escaped(e.copy),
            std::to_string(e.bytes),
            e.folder ? escaped(f.path) : std::string("-"),
            std::to_string(f.pins),
            std::to_string(f.codePage),
            escaped(f.paper),
            formatOffset(f.offsetX, f.offsetY),
            std::string(f.raw ? "nyers:" : ":") + escaped(f.printer),
            escaped(formatBackgrounds(f.backgrounds)),
            escaped(formatBackgrounds(e.files)),
        };
        for (std::size_t i = 0; i < kFields; ++i) {
            if (i) text += '\t';
            text += fields[i];
        }
        text += '\n';
    }
    return text;
}

std::optional<std::vector<HistoryEntry>> parseHistory(std::string_view text) {
    std::vector<std::string_view> lines = split(text, '\n');
    if (lines.empty() || lines.front() != kHeader) return std::nullopt;
    std::vector<HistoryEntry> out;
    for (std::size_t n = 1; n < lines.size(); ++n) {
        if (lines[n].empty()) continue;
        const std::vector<std::string_view> f = split(lines[n], '\t');
        if (f.size() != kFields && f.size() != kFieldsBeforeFiles && f.size() != kFieldsBeforeBackgrounds)
            return std::nullopt;
        HistoryEntry e;
        const auto result = resultOf(f[6]);
        if (!number(f[0], e.id) || !number(f[1], e.time) || !number(f[4], e.pages) || !result ||
            !number(f[9], e.bytes))
            return std::nullopt;
        e.source = unescaped(f[2]);
        e.format = unescaped(f[3]);
        e.printer = unescaped(f[5]);
        e.result = *result;
        e.message = unescaped(f[7]);
        e.copy = unescaped(f[8]);
        if (f.size() > kFieldsBeforeFiles) e.files = splitFiles(unescaped(f[17]));
        if (f[10] != "-") {
            WatchedFolder w;
            w.path = unescaped(f[10]);
            const auto offset = parseOffset(f[14]);
            const std::size_t colon = f[15].find(':');
            if (!number(f[11], w.pins) || !number(f[12], w.codePage) || !offset || colon == std::string_view::npos)
                return std::nullopt;
            w.paper = unescaped(f[13]);
            w.offsetX = offset->first;
            w.offsetY = offset->second;
            w.raw = f[15].substr(0, colon) == "nyers";
            w.printer = unescaped(f[15].substr(colon + 1));
            // The files as the folder named them, whatever this system makes of them.
            if (f.size() > kFieldsBeforeBackgrounds) w.backgrounds = splitFiles(unescaped(f[16]));
            e.folder = std::move(w);
        }
        out.push_back(std::move(e));
    }
    return out;
}

void JobHistory::fail(const std::string& message) {
    if (told_) return;
    told_ = true;
    problem_ = "Az el\xC5\x91zm\xC3\xA9nyek (" + std::string(kIndex) + "): " + message;
}

std::string JobHistory::problem() { return std::exchange(problem_, std::string()); }

bool JobHistory::readIndex(std::vector<HistoryEntry>& out) {
    out.clear();
    ByteFile index(fs_);
    index.assign(kIndex);
    const ResultCode rc = index.reset();
    if (rc == kFileNotFound || rc == kPathNotFound) return true;  // no history yet
    if (rc != kOk) {
        fail(utf8Message(rc));
        return false;
    }
    std::string text;
    std::uint8_t block[16 * 1024];
    for (;;) {
        std::size_t got = 0;
        const ResultCode r = index.readBlock(block, sizeof block, got);
        text.append(reinterpret_cast<const char*>(block), got);
        if (r != kOk) {
            (void)index.close();
            fail(utf8Message(r));
            return false;
        }
        if (got == 0) break;
    }
    (void)index.close();
    std::optional<std::vector<HistoryEntry>> parsed = parseHistory(text);
    if (!parsed) {
        fail("a f\xC3\xA1jl nem olvashat\xC3\xB3 (s\xC3\xA9r\xC3\xBClt).");
        return false;
    }
    out = std::move(*parsed);
    return true;
}

std::vector<HistoryEntry> JobHistory::entries() {
    std::vector<HistoryEntry> out;
    if (!readIndex(out)) return {};
    return out;
}

bool JobHistory::writeIndex(const std::vector<HistoryEntry>& entries) {
    if (const ResultCode rc = writeWhole(fs_, kIndexTemp, kIndex, formatHistory(entries))) {
        fail(utf8Message(rc));
        return false;
    }
    return true;
}

std::string JobHistory::keepCopy(std::string_view job, std::uint64_t checksum, std::int64_t& bytes) {
    bytes = 0;
    std::vector<HistoryEntry> now;
    if (!readIndex(now)) return {};
    if (const ResultCode rc = fs_.makeDirectory(kDir)) {
        fail(utf8Message(rc));
        return {};
    }
    std::int64_t id = 1;
    for (const HistoryEntry& e : now) id = std::max(id, e.id + 1);
    const std::string name = copyName(id);

    ByteFile in(fs_);
    in.assign(job);
    ByteFile out(fs_);
    out.assign(inDir(name));
    ResultCode rc = in.reset();
    if (rc == kOk) {
        rc = out.rewrite();
        if (rc != kOk) (void)in.close();
    }
    std::uint64_t hash = 14695981039346656037ull;
    if (rc == kOk) {
        std::vector<std::uint8_t> block(64 * 1024);
        for (;;) {
            std::size_t got = 0;
            rc = in.readBlock(block.data(), block.size(), got);
            if (rc == kOk && got > 0) rc = out.writeBlock(block.data(), got);
            if (rc != kOk || got == 0) break;
            hash = fnv1a(hash, block.data(), got);
            bytes += static_cast<std::int64_t>(got);
        }
        const ResultCode closedIn = in.close();
        const ResultCode closedOut = out.close();
        if (rc == kOk) rc = closedOut != kOk ? closedOut : closedIn;
    }
    if (rc != kOk || hash != checksum) {
        (void)fs_.erase(inDir(name));
        bytes = 0;
        // A job rewritten by its host since it was taken: the copy would not be the
        // job that was printed, so none is kept (the entry says so).
        if (rc != kOk) fail(utf8Message(rc));
        return {};
    }
    return name;
}

bool JobHistory::add(HistoryEntry entry) {
    std::vector<HistoryEntry> all;
    if (!readIndex(all)) return false;
    if (const ResultCode rc = fs_.makeDirectory(kDir)) {
        fail(utf8Message(rc));
        return false;
    }
    std::int64_t id = 1;
    for (const HistoryEntry& e : all) id = std::max(id, e.id + 1);
    entry.id = id;
    if (entry.time == 0)
        entry.time = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch()).count();
    all.push_back(std::move(entry));

    // The newest first: each copy counted once however many entries name it.
    std::set<std::string> counted;
    std::int64_t total = 0;
    std::size_t keepFrom = 0;
    for (std::size_t i = all.size(); i-- > 0;) {
        const HistoryEntry& e = all[i];
        if (all.size() - i > static_cast<std::size_t>(maxEntries_)) {
            keepFrom = i + 1;
            break;
        }
        if (!e.copy.empty() && counted.insert(e.copy).second) total += e.bytes;
        if (total > maxBytes_ && i + 1 < all.size()) {
            keepFrom = i + 1;
            break;
        }
    }
    std::vector<HistoryEntry> kept(all.begin() + static_cast<std::ptrdiff_t>(keepFrom), all.end());
    // The newest job alone over the limit keeps its entry, not its copy.
    if (kept.size() == 1 && kept.back().bytes > maxBytes_) {
        (void)fs_.erase(inDir(kept.back().copy));
        kept.back().copy.clear();
    }
    if (!writeIndex(kept)) return false;
    told_ = false;
    dropUnnamedCopies(kept);
    return true;
}

void JobHistory::dropUnnamedCopies(const std::vector<HistoryEntry>& entries) {
    std::set<std::string> named;
    for (const HistoryEntry& e : entries)
        if (!e.copy.empty()) named.insert(e.copy);
    std::vector<DirEntry> files;
    if (fs_.listFiles(kDir, files) != kOk) return;
    for (const DirEntry& f : files) {
        const bool isCopy = f.name.size() > kCopySuffix.size() &&
                            f.name.compare(f.name.size() - kCopySuffix.size(), kCopySuffix.size(), kCopySuffix) == 0;
        // Dropped copies, and copies left by a job whose entry was never written.
        if (isCopy && !named.count(f.name)) (void)fs_.erase(inDir(f.name));
    }
}

std::string JobHistory::copyPath(const HistoryEntry& entry) {
    if (entry.copy.empty()) return {};
    const std::string path = inDir(entry.copy);
    FileProbe probe;
    if (fs_.probe(path, probe) != kOk || probe.size != entry.bytes) return {};
    return path;
}

}  // namespace nx
