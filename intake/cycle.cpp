#include "intake/cycle.h"

#include <utility>

namespace nx {

namespace {

JobCycle::Decision decided(JobCycle::Step step) {
    JobCycle::Decision d;
    d.step = step;
    return d;
}

}  // namespace

std::vector<std::string> JobCycle::refreshFolders() {
    std::vector<std::string> problems;
    if (folderFile_.refresh(problems)) watch_.setFolders(folderFile_.folders());
    return problems;
}

bool JobCycle::look(bool again) {
    found_ = watch_.choose(file_, again);
    return found_.has_value();
}

JobCycle::Decision JobCycle::take(bool printAtOnce, Progress& progress) {
    if (!found_) return Decision{};
    const std::string path = *std::exchange(found_, std::nullopt);
    const std::optional<WatchedFolder> folder = watch_.folderOf(path);
    const std::string_view copy = folder ? paths::kFolderWorkingCopy : paths::kWorkingCopy;
    TakenJob job = folder ? watch_.copyAsIs(path, file_, copy, progress) : watch_.copy(path, file_, progress);
    if (job.copied.status != JobCopyResult::Status::Copied) {
        if (folder) watch_.setAside(path);  // told once, tried again when it changes
        return {Step::Failed, job.copied.code, path, {}, folder};
    }
    if (!job.settled) return decided(Step::Wait);
    if (watch_.handledBefore(job)) {
        // The same job, already printed whole (or shown), that its host kept open.
        hold(std::move(job), Step::Print, copy, folder.has_value());
        printed();
        return decided(Step::HandledBefore);
    }
    const bool print = folder ? !folder->preview : printAtOnce;
    const Step step = print ? Step::Print : Step::Show;
    const std::uint64_t checksum = job.copied.checksum;
    hold(std::move(job), step, copy, folder.has_value());
    return {step, 0, path, std::string(copy), folder, checksum};
}

void JobCycle::hold(TakenJob job, Step step, std::string_view copy, bool fromFolder) {
    taken_ = std::move(job);
    pending_ = step;
    takenCopy_ = std::string(copy);
    takenFromFolder_ = fromFolder;
}

std::optional<TakenJob> JobCycle::finish(Step step) {
    // A job is released only by the end it was taken for: a print that failed leaves
    // its job file for the next run, whatever preview is closed meanwhile.
    if (!taken_ || pending_ != step) return std::nullopt;
    std::optional<TakenJob> job = std::exchange(taken_, std::nullopt);
    pending_ = Step::Nothing;
    return job;
}

void JobCycle::printed() {
    const std::optional<TakenJob> job = finish(Step::Print);
    if (!job) return;
    check(watch_.release(*job));
    check(fs_.erase(takenCopy_));
}

void JobCycle::printFailed() {
    if (!taken_ || (pending_ != Step::Print && pending_ != Step::Show) || !takenFromFolder_) return;
    if (const std::optional<TakenJob> job = finish(pending_)) watch_.setAside(job->path);
}

void JobCycle::previewClosed() {
    if (const std::optional<TakenJob> job = finish(Step::Show)) (void)watch_.release(*job);
}

std::optional<std::string> JobCycle::currentJob() const {
    if (!taken_) return std::nullopt;
    return taken_->path;
}

}  // namespace nx
