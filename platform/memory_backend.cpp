#include "platform/memory_backend.h"

#include <algorithm>
#include <cstring>

namespace nx {

namespace {

constexpr std::size_t kMaxHandles = 256;

}  // namespace

MemoryBackend::MemoryBackend() { dirs_.insert("/"); }

std::string MemoryBackend::parentOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return "/";
    return path.substr(0, slash);
}

void MemoryBackend::makeDirectory(const std::string& path) {
    for (std::string p = path; !p.empty() && p != "/"; p = parentOf(p)) dirs_.insert(p);
}

void MemoryBackend::put(const std::string& path, std::string_view bytes) {
    auto& f = files_[path];
    if (!f) f = std::make_shared<File>();
    f->data.assign(bytes);
    touch(*f);
}

std::optional<std::string> MemoryBackend::get(const std::string& path) const {
    const auto it = files_.find(path);
    if (it == files_.end()) return std::nullopt;
    return it->second->data;
}

bool MemoryBackend::exists(const std::string& path) const {
    return files_.count(path) != 0 || dirs_.count(path) != 0;
}

void MemoryBackend::remove(const std::string& path) { files_.erase(path); }

void MemoryBackend::setReadOnly(const std::string& path, bool readOnly) {
    if (auto it = files_.find(path); it != files_.end()) it->second->readOnly = readOnly;
}

void MemoryBackend::setHeld(const std::string& path, bool held) {
    if (auto it = files_.find(path); it != files_.end()) it->second->held = held;
}

std::size_t MemoryBackend::openHandles() const {
    return static_cast<std::size_t>(
        std::count_if(handles_.begin(), handles_.end(), [](const Open& o) { return o.file != nullptr; }));
}

std::size_t MemoryBackend::used() const {
    std::size_t total = 0;
    for (const auto& [path, f] : files_) total += f->data.size();
    return total;
}

std::string MemoryBackend::matchEntry(const std::string& dir, const std::string& name) const {
    if (name == "." || name == "..") return name;
    const std::string prefix = dir == "/" ? "/" : dir + "/";
    std::string found;
    auto consider = [&](const std::string& path) {
        if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0) return false;
        const std::string_view entry = std::string_view(path).substr(prefix.size());
        if (entry.find('/') != std::string_view::npos) return false;
        if (entry == name) {
            found = name;
            return true;
        }
        if (found.empty() && sameNameIgnoringCase(entry, name)) found = std::string(entry);
        return false;
    };
    for (const auto& [path, f] : files_)
        if (consider(path)) return found;
    for (const std::string& path : dirs_)
        if (consider(path)) return found;
    return found;
}

ResultCode MemoryBackend::missing(const std::string& path) const {
    return dirs_.count(parentOf(path)) ? kFileNotFound : kPathNotFound;
}

ResultCode MemoryBackend::open(const std::string& path, Access access, bool create, Handle& h) {
    h = -1;
    if (dirs_.count(path)) return kAccessDenied;
    auto it = files_.find(path);
    const bool wantsWrite = access != Access::Read;
    if (it == files_.end()) {
        if (!create) return missing(path);
        if (!dirs_.count(parentOf(path))) return kPathNotFound;
    } else {
        if (wantsWrite && it->second->readOnly) return kAccessDenied;
        if (it->second->held) return kSharingViolation;
    }
    std::size_t slot = 0;
    while (slot < handles_.size() && handles_[slot].file) ++slot;
    if (slot >= kMaxHandles) return kTooManyOpenFiles;
    if (it == files_.end()) {
        it = files_.emplace(path, std::make_shared<File>()).first;
        touch(*it->second);
    } else if (create) {
        it->second->data.clear();
        touch(*it->second);
    }
    if (slot == handles_.size()) handles_.emplace_back();
    handles_[slot] = Open{it->second, wantsWrite};
    h = static_cast<Handle>(slot);
    return kOk;
}

MemoryBackend::File* MemoryBackend::handleFile(Handle h, bool forWrite) {
    if (h < 0 || static_cast<std::size_t>(h) >= handles_.size()) return nullptr;
    Open& o = handles_[static_cast<std::size_t>(h)];
    if (!o.file || (forWrite && !o.writes)) return nullptr;
    return o.file.get();
}

ResultCode MemoryBackend::read(Handle h, std::int64_t offset, void* buffer, std::size_t max,
                               std::size_t& got) {
    got = 0;
    File* f = handleFile(h, false);
    if (!f) return kFileNotOpen;
    if (offset < 0) return kNegativeSeek;
    const auto at = static_cast<std::size_t>(offset);
    if (at >= f->data.size()) return kOk;
    got = std::min(max, f->data.size() - at);
    std::memcpy(buffer, f->data.data() + at, got);
    return kOk;
}

ResultCode MemoryBackend::write(Handle h, std::int64_t offset, const void* data, std::size_t count) {
    File* f = handleFile(h, true);
    if (!f) return handleFile(h, false) ? kAccessDenied : kFileNotOpen;
    if (offset < 0) return kNegativeSeek;
    const auto at = static_cast<std::size_t>(offset);
    const std::size_t end = at + count;
    if (capacity_ && end > f->data.size() && used() + (end - f->data.size()) > *capacity_)
        return kDiskFull;
    if (end > f->data.size()) f->data.resize(end, '\0');
    if (count > 0) std::memcpy(f->data.data() + at, data, count);
    touch(*f);
    return kOk;
}

ResultCode MemoryBackend::size(Handle h, std::int64_t& bytes) {
    File* f = handleFile(h, false);
    if (!f) return kFileNotOpen;
    bytes = static_cast<std::int64_t>(f->data.size());
    return kOk;
}

ResultCode MemoryBackend::truncate(Handle h, std::int64_t bytes) {
    File* f = handleFile(h, true);
    if (!f) return handleFile(h, false) ? kAccessDenied : kFileNotOpen;
    if (bytes < 0) return kNegativeSeek;
    f->data.resize(static_cast<std::size_t>(bytes), '\0');
    touch(*f);
    return kOk;
}

ResultCode MemoryBackend::close(Handle h) {
    if (h < 0 || static_cast<std::size_t>(h) >= handles_.size() ||
        !handles_[static_cast<std::size_t>(h)].file)
        return kFileNotOpen;
    handles_[static_cast<std::size_t>(h)] = Open{};
    return kOk;
}

ResultCode MemoryBackend::erase(const std::string& path) {
    if (dirs_.count(path)) return kAccessDenied;
    if (!files_.erase(path)) return missing(path);
    return kOk;
}

ResultCode MemoryBackend::probe(const std::string& path, FileProbe& out) {
    out = FileProbe{};
    if (dirs_.count(path)) return kAccessDenied;
    const auto it = files_.find(path);
    if (it == files_.end()) return missing(path);
    out.size = static_cast<std::int64_t>(it->second->data.size());
    out.modifiedNs = it->second->modified;
    out.writers = Writers::None;
    for (const Open& o : handles_)
        if (o.file == it->second && o.writes) out.writers = Writers::Present;
    return kOk;
}

ResultCode MemoryBackend::listFiles(const std::string& dir, std::vector<DirEntry>& out) {
    out.clear();
    if (!dirs_.count(dir)) return kPathNotFound;
    for (const auto& [path, f] : files_)
        if (parentOf(path) == dir)
            out.push_back({path.substr(dir == "/" ? 1 : dir.size() + 1),
                           static_cast<std::int64_t>(f->data.size()), f->modified});
    return kOk;
}

ResultCode MemoryBackend::createDirectory(const std::string& dir) {
    if (files_.count(dir)) return kAccessDenied;
    if (dirs_.count(dir)) return kOk;
    if (!dirs_.count(parentOf(dir))) return kPathNotFound;
    dirs_.insert(dir);
    return kOk;
}

ResultCode MemoryBackend::replace(const std::string& from, const std::string& to) {
    const auto it = files_.find(from);
    if (it == files_.end()) return missing(from);
    if (dirs_.count(to)) return kAccessDenied;
    if (!dirs_.count(parentOf(to))) return kPathNotFound;
    std::shared_ptr<File> moved = it->second;
    files_.erase(it);
    files_[to] = std::move(moved);
    return kOk;
}

}  // namespace nx
