// A fault hook for tests. It counts the file operations that a piece of the program
// makes (per operation, on the paths that pass its filter) and records them in
// order; armed with failAt(), it makes one chosen call, the n-th call of one
// operation, fail with a chosen result code, without touching the file.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/files.h"

namespace nx::test {

inline constexpr FileOp kAllFileOps[] = {FileOp::Open,     FileOp::Create, FileOp::Read,
                                         FileOp::Write,    FileOp::Eof,    FileOp::Size,
                                         FileOp::Position, FileOp::Seek,   FileOp::Close,
                                         FileOp::Delete,   FileOp::Probe,  FileOp::List,
                                         FileOp::Replace,  FileOp::MakeDir};
inline constexpr std::size_t kFileOpCount = std::size(kAllFileOps);

// Case-insensitive "does the host path contain this name" (DOS names resolve
// onto whatever case exists on disk).
inline bool pathHas(std::string_view path, std::string_view part) {
    auto lower = [](std::string_view s) {
        std::string out(s);
        for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return out;
    };
    return lower(path).find(lower(part)) != std::string::npos;
}

// One file operation as the hook saw it.
struct FileCall {
    FileOp op = FileOp::Open;
    std::string path;   // host path
    int index = 0;      // 1-based among the matching calls of this operation
    int seq = 0;        // 0-based among all matching calls
    std::string phase;  // the phase the test had set when the call was made
};

class FaultPlan final : public FaultHook {
public:
    using Filter = std::function<bool(const std::string& hostPath)>;

    // Counts (and records) every call on paths that pass `filter` (all by default).
    explicit FaultPlan(Filter filter = {}) : filter_(std::move(filter)) {}

    // Makes the `nth` (1-based) matching call of `op` fail with `code`; with `times`
    // above 1 the calls of `op` right after it fail too.
    void failAt(FileOp op, int nth, int code, int times = 1) {
        failOp_ = op;
        failFrom_ = nth;
        failTo_ = nth + std::max(times, 1) - 1;
        failCode_ = code;
    }

    // Calls made from now on are tagged with `phase` (a step of a scenario).
    void setPhase(std::string phase) { phase_ = std::move(phase); }

    int before(FileOp op, const std::string& hostPath) override {
        if (filter_ && !filter_(hostPath)) return 0;
        int& n = counts_[static_cast<std::size_t>(op)];
        ++n;
        trace_.push_back({op, hostPath, n, static_cast<int>(trace_.size()), phase_});
        if (failCode_ != 0 && op == failOp_ && n >= failFrom_ && n <= failTo_) {
            ++injected_;
            if (!failed_) failed_ = trace_.back();
            return failCode_;
        }
        return 0;
    }

    int calls(FileOp op) const { return counts_[static_cast<std::size_t>(op)]; }
    int totalCalls() const { return static_cast<int>(trace_.size()); }
    const std::vector<FileCall>& trace() const { return trace_; }
    int injected() const { return injected_; }
    // The first call that was made to fail, if any.
    const std::optional<FileCall>& failedCall() const { return failed_; }

    // The `nth` (1-based) recorded call of `op`.
    const FileCall* call(FileOp op, int nth) const {
        for (const FileCall& c : trace_)
            if (c.op == op && c.index == nth) return &c;
        return nullptr;
    }
    // The call recorded just before `c` (nullptr for the first).
    const FileCall* previous(const FileCall& c) const {
        return c.seq > 0 ? &trace_[static_cast<std::size_t>(c.seq - 1)] : nullptr;
    }
    // Sequence number of the first recorded call of `op` on a path containing `part`
    // (within `phase` when it is not empty), or -1.
    int firstSeq(FileOp op, std::string_view part, std::string_view phase = {}) const {
        for (const FileCall& c : trace_)
            if (c.op == op && pathHas(c.path, part) && (phase.empty() || c.phase == phase))
                return c.seq;
        return -1;
    }

    // "open 2, create 2, read 5, ..." for the operations that were called.
    std::string summary() const {
        std::string out;
        for (FileOp op : kAllFileOps) {
            if (calls(op) == 0) continue;
            if (!out.empty()) out += ", ";
            out += std::string(fileOpName(op)) + " " + std::to_string(calls(op));
        }
        return out.empty() ? std::string("no calls") : out;
    }

private:
    Filter filter_;
    int counts_[kFileOpCount] = {};
    std::vector<FileCall> trace_;
    std::string phase_;
    FileOp failOp_ = FileOp::Open;
    int failFrom_ = 0;
    int failTo_ = -1;
    int failCode_ = 0;
    int injected_ = 0;
    std::optional<FileCall> failed_;
};

// Fails the calls of one operation on paths that hold `part` (ignoring case) with
// `code`: `skip` calls go through first, then `times` calls fail (0: all that come).
// With an action instead, that action runs at the first matching call (a host
// writing at that moment) and the call goes through.
class FailOn final : public FaultHook {
public:
    FailOn(FileOp op, std::string part, int code, int skip = 0, int times = 0)
        : op_(op), part_(std::move(part)), code_(code), skip_(skip), times_(times) {}
    FailOn(FileOp op, std::string part, std::function<void()> action)
        : op_(op), part_(std::move(part)), action_(std::move(action)) {}

    int before(FileOp op, const std::string& hostPath) override {
        if (op != op_ || !pathHas(hostPath, part_)) return 0;
        if (action_) {
            std::exchange(action_, nullptr)();
            return 0;
        }
        if (code_ == 0 || skip_-- > 0) return 0;
        if (times_ > 0 && failed_ >= times_) return 0;
        ++failed_;
        return code_;
    }
    int failed() const { return failed_; }

private:
    FileOp op_;
    std::string part_;
    int code_ = 0;
    int skip_ = 0;
    int times_ = 0;
    int failed_ = 0;
    std::function<void()> action_;
};

// Installs a hook on a file system for as long as it lives.
class ScopedFaultHook {
public:
    ScopedFaultHook(FileSystem& fs, FaultHook& hook) : fs_(fs) { fs_.setFaultHook(&hook); }
    ~ScopedFaultHook() { fs_.setFaultHook(nullptr); }
    ScopedFaultHook(const ScopedFaultHook&) = delete;
    ScopedFaultHook& operator=(const ScopedFaultHook&) = delete;

private:
    FileSystem& fs_;
};

// "read #3 on .../norvexa/nyomtat1.txt (print)" for test traces.
inline std::string describe(const FileCall& c) {
    return std::string(fileOpName(c.op)) + " #" + std::to_string(c.index) + " on " + c.path +
           (c.phase.empty() ? std::string() : " (" + c.phase + ")");
}

}  // namespace nx::test
