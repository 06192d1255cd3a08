#include "intake/cycle.h"

#include <utility>

namespace nx {

bool JobCycle::look() {
    found_ = watch_.choose(file_);
    return found_.has_value();
}

JobCycle::Decision JobCycle::take(bool printAtOnce, Progress& progress) {
    if (!found_) return {Step::Nothing};
    const std::string path = *std::exchange(found_, std::nullopt);
    TakenJob job = watch_.copy(path, file_, progress);
    if (job.copied.status != JobCopyResult::Status::Copied) return {Step::Failed, job.copied.code};
    if (!job.settled) return {Step::Wait};
    if (watch_.handledBefore(job)) {
        // The same job, already printed whole (or shown), that its host kept open.
        hold(std::move(job), Step::Print);
        printed();
        return {Step::HandledBefore};
    }
    const Step step = printAtOnce ? Step::Print : Step::Show;
    hold(std::move(job), step);
    return {step};
}

void JobCycle::hold(TakenJob job, Step step) {
    taken_ = std::move(job);
    pending_ = step;
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
    check(fs_.erase(paths::kWorkingCopy));
}

void JobCycle::previewClosed() {
    if (const std::optional<TakenJob> job = finish(Step::Show)) (void)watch_.release(*job);
}

std::optional<std::string> JobCycle::currentJob() const {
    if (!taken_) return std::nullopt;
    return taken_->path;
}

}  // namespace nx
