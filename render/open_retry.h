// Opening a print-stream file for rendering, with a bounded retry.
#pragma once

#include <chrono>

namespace nx {

class ByteFile;

// How long a failing open is retried, and the pause between attempts.
inline constexpr std::chrono::milliseconds kOpenRetryLimit{2000};
inline constexpr std::chrono::milliseconds kOpenRetryPause{20};

// Opens the assigned `file`. A failing open is retried with short pauses for about
// kOpenRetryLimit; then the last attempt's IoError is raised. With `createMissing`
// a missing file (code 2) is created empty and closed (checked), and the open is
// tried again at once.
void openRetrying(ByteFile& file, bool createMissing);

}  // namespace nx
