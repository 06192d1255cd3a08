#include "intake/watch.h"

#include <algorithm>
#include <tuple>

namespace nx {

bool JobWatch::ready(const std::string& path, const FileProbe& probe) {
    switch (probe.writers) {
        case Writers::Present:
            seen_.erase(path);
            return false;
        case Writers::None:
            seen_.erase(path);
            return true;
        case Writers::Unknown:
            break;
    }
    // Nobody can say whether a host is still writing: the file must have stayed
    // the same for a whole watch interval. A file seen for the first time waits.
    const Seen now{probe.size, probe.modifiedNs};
    const auto it = seen_.find(path);
    if (it != seen_.end() && it->second.seen == now) {
        if (it->second.cycle < cycles_) return true;
        return false;  // seen a moment ago in this same cycle: not yet a whole interval
    }
    seen_[path] = {now, cycles_};
    return false;
}

bool JobWatch::tryOpen(const std::string& path, const FileProbe& probe, ByteFile& job) {
    if (!ready(path, probe)) return false;
    job.assign(path);
    if (job.reset() != kOk) return false;
    seen_.erase(path);
    chosen_ = probe;
    return true;
}

std::optional<std::string> JobWatch::choose(ByteFile& job, bool again) {
    if (!again) ++cycles_;
    for (std::string_view candidate : candidates_) {
        const std::string path(candidate);
        // Probed while no handle of ours is open on it: ours would count as a writer.
        FileProbe probe;
        if (fs_.probe(path, probe) != kOk) {
            seen_.erase(path);  // missing or unreadable: passed over
            continue;
        }
        if (tryOpen(path, probe, job)) return path;
    }
    for (const std::string& path : folderJobs()) {
        FileProbe probe;
        if (fs_.probe(path, probe) != kOk) {
            seen_.erase(path);
            continue;
        }
        if (const auto it = aside_.find(path); it != aside_.end()) {
            const auto folder = folderJobs_.find(path);
            if (it->second.job == Seen{probe.size, probe.modifiedNs} &&
                (folder == folderJobs_.end() || it->second.backgrounds == backgroundsOf(folder->second)))
                continue;
            aside_.erase(it);  // changed since it failed: a new try
        }
        if (tryOpen(path, probe, job)) return path;
    }
    return std::nullopt;
}

void JobWatch::setFolders(std::vector<WatchedFolder> folders) {
    folders_ = std::move(folders);
    aside_.clear();  // a changed folders file may have mended what failed: each job is tried again
}

std::optional<WatchedFolder> JobWatch::folderOf(const std::string& path) const {
    const auto it = folderJobs_.find(path);
    if (it == folderJobs_.end()) return std::nullopt;
    return it->second;
}

void JobWatch::setAside(const std::string& path) {
    FileProbe probe;
    if (fs_.probe(path, probe) != kOk) return;
    const auto folder = folderJobs_.find(path);
    aside_[path] = {{probe.size, probe.modifiedNs},
                    folder == folderJobs_.end() ? std::vector<Seen>{} : backgroundsOf(folder->second)};
}

std::vector<JobWatch::Seen> JobWatch::backgroundsOf(const WatchedFolder& folder) {
    std::vector<Seen> seen;
    for (const std::string& file : folder.backgrounds) {
        FileProbe probe;
        seen.push_back(fs_.probe(file, probe) == kOk ? Seen{probe.size, probe.modifiedNs} : Seen{});
    }
    // The directory its PDF files go to: whether it can be listed now.
    if (!folder.pdfDir.empty()) {
        std::vector<DirEntry> entries;
        seen.push_back(fs_.listFiles(folder.pdfDir, entries) == kOk ? Seen{0, 0} : Seen{});
    }
    return seen;
}

std::vector<std::string> JobWatch::folderJobs() {
    struct Found {
        std::int64_t modifiedNs;
        std::size_t folder;
        std::string path;
    };
    std::vector<Found> fresh;
    std::map<std::string, WatchedFolder> now;
    std::vector<DirEntry> entries;
    for (std::size_t i = 0; i < folders_.size(); ++i) {
        const WatchedFolder& folder = folders_[i];
        if (fs_.listFiles(folder.path, entries) != kOk) continue;  // gone for now: nothing to take
        const char separator =
            folder.path.find('\\') == std::string::npos && folder.path.find('/') != std::string::npos ? '/' : '\\';
        std::string base = folder.path;
        if (!base.empty() && base.back() != '/' && base.back() != '\\') base += separator;
        for (const DirEntry& e : entries) {
            if (e.name.empty() || e.name.front() == '.') continue;
            std::string path = base + e.name;
            if (!arrival_.count(path)) fresh.push_back({e.modifiedNs, i, path});
            now.emplace(std::move(path), folder);
        }
    }
    // Files first seen in the same look arrived in the order of their times.
    std::sort(fresh.begin(), fresh.end(), [](const Found& a, const Found& b) {
        return std::tie(a.modifiedNs, a.folder, a.path) < std::tie(b.modifiedNs, b.folder, b.path);
    });
    for (const Found& f : fresh) arrival_[f.path] = ++arrivals_;
    std::erase_if(arrival_, [&](const auto& a) { return !now.count(a.first); });
    std::erase_if(aside_, [&](const auto& a) { return !now.count(a.first); });
    for (const auto& [path, folder] : folderJobs_)
        if (!now.count(path)) seen_.erase(path);
    folderJobs_ = std::move(now);

    std::vector<std::pair<std::uint64_t, std::string>> order;
    order.reserve(folderJobs_.size());
    for (const auto& [path, folder] : folderJobs_) order.emplace_back(arrival_[path], path);
    std::sort(order.begin(), order.end());
    std::vector<std::string> out;
    out.reserve(order.size());
    for (auto& [seq, path] : order) out.push_back(std::move(path));
    return out;
}

TakenJob JobWatch::copy(const std::string& path, ByteFile& job, Progress& progress) {
    return settle({path, copyJob(fs_, job, paths::kWorkingCopy, paths::kLastJobCopy, progress)});
}

TakenJob JobWatch::copyAsIs(const std::string& path, ByteFile& job, std::string_view workingCopy,
                            Progress& progress) {
    return settle({path, copyBytes(fs_, job, workingCopy, progress)});
}

TakenJob JobWatch::settle(TakenJob taken) {
    const std::string& path = taken.path;
    if (taken.copied.status != JobCopyResult::Status::Copied) return taken;
    // A host that opened the file between the check and the copy, or wrote to it
    // during the copy, may not be done: what was copied is not the whole job.
    FileProbe after;
    if (fs_.probe(path, after) == kOk) {
        taken.settled = after.writers != Writers::Present && after.size == taken.copied.bytes &&
                        after.modifiedNs == chosen_.modifiedNs;
    }
    return taken;
}

bool JobWatch::handledBefore(const TakenJob& job) const {
    const auto it = held_.find(job.path);
    return it != held_.end() && it->second.bytes == job.copied.bytes &&
           it->second.checksum == job.copied.checksum;
}

ResultCode JobWatch::release(const TakenJob& job) {
    held_.erase(job.path);
    {
        ByteFile file(fs_);
        file.assign(job.path);
        const ResultCode rc = file.reset();
        if (rc == kOk) {
            std::int64_t size = 0;
            const ResultCode sizeRc = file.size(size);
            (void)file.close();  // read only; its result changes nothing here
            if (sizeRc != kOk) return sizeRc;  // kept: nothing is known of it
            // The host wrote more after the copy ended: the job stays, and the next
            // cycle takes it again whole.
            if (size != job.copied.bytes) return kOk;
        } else if (rc == kSharingViolation) {
            // A host holds it open without sharing, so it is still writing.
            held_[job.path] = {job.copied.bytes, job.copied.checksum};
            return kOk;
        }
    }  // our own handle is gone here: it would count as a writer
    // A host that still has the job open for writing may not be done with it: the
    // file deleted now would take what it writes next with it.
    FileProbe probe;
    if (fs_.probe(job.path, probe) == kOk && probe.writers == Writers::Present) {
        held_[job.path] = {job.copied.bytes, job.copied.checksum};
        return kOk;
    }
    return fs_.erase(job.path);
}

}  // namespace nx
