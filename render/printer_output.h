// Printing a print-stream file as one print job (the main window's Kikuldes).
#pragma once

#include <functional>
#include <string_view>

#include "intake/settings.h"
#include "platform/document.h"
#include "platform/files.h"
#include "platform/printjob.h"
#include "platform/progress.h"

namespace nx {

struct RenderContext {
    FileSystem& fs;
    const Settings& settings;                 // sizes and margins, read live
    std::function<bool()> variableLineHeight; // the check box, read at every line and step
    Progress& progress;
};

// The code raised when the print job cannot be begun ("I/O error 160").
inline constexpr int kDeviceWriteFault = 160;

// Prints the file at `dosPath` on `job`: title, orientation, pages at form feeds,
// origin at the margins. Leaves the file closed and the progress at maximum 100,
// position 0. An input/output error aborts the job and is raised (IoError; a byte
// of the stream that cannot be read raises StreamReadError). An open
// that keeps failing for about two seconds raises its error before the job begins; a
// job that cannot begin raises IoError(kDeviceWriteFault).
void printStream(RenderContext& ctx, std::string_view dosPath, PrintJob& job, bool landscape);

}  // namespace nx
