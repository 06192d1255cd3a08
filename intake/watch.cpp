#include "intake/watch.h"

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
    const auto it = seen_.find(path);
    if (it != seen_.end() && it->second.size == probe.size &&
        it->second.modifiedNs == probe.modifiedNs)
        return true;
    seen_[path] = {probe.size, probe.modifiedNs};
    return false;
}

std::optional<std::string> JobWatch::choose(ByteFile& job) {
    for (std::string_view candidate : candidates_) {
        const std::string path(candidate);
        // Probed while no handle of ours is open on it: ours would count as a writer.
        FileProbe probe;
        if (fs_.probe(path, probe) != kOk) {
            seen_.erase(path);  // missing or unreadable: passed over
            continue;
        }
        if (!ready(path, probe)) continue;
        job.assign(path);
        if (job.reset() == kOk) {
            seen_.erase(path);
            chosen_ = probe;
            return path;
        }
    }
    return std::nullopt;
}

TakenJob JobWatch::copy(const std::string& path, ByteFile& job, Progress& progress) {
    TakenJob taken{path, copyJob(fs_, job, paths::kWorkingCopy, paths::kLastJobCopy, progress)};
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
