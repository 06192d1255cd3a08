// The service's watch cycle without windows: which job is taken, what is done with it,
// and when its job file goes.
//
// One cycle: look() finds the first job path whose job is ready (present, openable,
// no longer being written); take() copies it through the character map into the
// working copy and the last-job copy and says what the windows do next. A job that was
// printed is finished with printed(); one that was shown, with previewClosed() when
// the preview closes. Both release the job file by the one rule of JobWatch::release:
// it goes unless its host has come back to it.
//
// The watched folders come after the seven job paths (see JobWatch);
// refreshFolders() reads their file again when it changed. A folder's job is copied
// as it is and printed or shown as its folder says; one that fails is told once and
// set aside until it changes, and the cycle goes on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "intake/watch.h"

namespace nx {

class JobCycle {
public:
    enum class Step {
        Nothing,        // no job ready: the watch is armed again
        Wait,           // its host wrote to it during the copy: taken again later
        HandledBefore,  // already printed or shown, kept open by its host: released
        Print,          // print the working copy, then call printed()
        Show,           // show the working copy, then call previewClosed() on close
        Failed,         // a copy could not be made or the job read: code says why
    };
    struct Decision {
        Step step = Step::Nothing;
        int code = 0;  // for Failed
        std::string job;   // the job's path (Print, Show, Failed)
        std::string file;  // the working copy to print or show
        // A watched folder's job: its ESC/P settings. Nothing for the seven job paths.
        std::optional<WatchedFolder> folder;
        // FNV-1a of the job's bytes as taken (Print, Show): a later copy of the job
        // file is the job that was taken only when it has the same.
        std::uint64_t checksum = 0;
    };

    explicit JobCycle(FileSystem& fs, JobWatch::Candidates candidates = paths::kJobCandidates)
        : fs_(fs), watch_(fs, candidates), file_(fs), folderFile_(fs) {}

    // Reads the folders file again when it changed (each cycle begins here). Returns
    // what is wrong in the version read (UTF-8 messages, each version's told once):
    // the caller shows them. Empty when nothing is new.
    std::vector<std::string> refreshFolders();
    const std::vector<WatchedFolder>& folders() const { return folderFile_.folders(); }

    // Whether a job is ready; it is then open for take(). `again`: a further look in
    // the same cycle, after a folder's job, for the rest of a burst (see
    // JobWatch::choose).
    bool look(bool again = false);

    // Copies the job look() found and decides. `printAtOnce` is the main window's
    // choice. A job taken again unchanged is released here (checked: a failure
    // raises IoError); a failed copy leaves the job file for the next run.
    Decision take(bool printAtOnce, Progress& progress);

    // After the working copy was printed whole: the job file is released and the
    // working copy deleted, both checked.
    void printed();

    // The print of the working copy failed, or a folder's job could not be shown (its
    // background cannot be drawn): a folder's job is set aside until it changes and
    // the cycle goes on; a job of the seven paths stays as it is.
    void printFailed();

    // The preview of a job of this cycle closed: its job file is released
    // (unchecked: a job file that stays is shown again later). Nothing when the
    // preview showed no job of the cycle.
    void previewClosed();

    // The job path of the job being printed or shown, if any.
    std::optional<std::string> currentJob() const;

    static constexpr std::string_view workingCopy() { return paths::kWorkingCopy; }

private:
    void hold(TakenJob job, Step step, std::string_view copy, bool fromFolder);
    std::optional<TakenJob> finish(Step step);

    FileSystem& fs_;
    JobWatch watch_;
    ByteFile file_;
    std::optional<std::string> found_;  // look() found it, take() has not run yet
    std::optional<TakenJob> taken_;     // being printed or shown
    std::string takenCopy_;             // its working copy
    bool takenFromFolder_ = false;
    FolderFile folderFile_;
    Step pending_ = Step::Nothing;      // Print or Show while taken_ holds a job
};

}  // namespace nx
