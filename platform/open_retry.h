// Opening a file that another program may hold for a moment: one bounded retry,
// its policy given as data by each caller.
#pragma once

#include <chrono>
#include <functional>

#include "platform/files.h"

namespace nx {

struct OpenRetry {
    std::chrono::milliseconds limit;  // a failing open is tried again for about this long
    std::chrono::milliseconds pause;  // between two tries
    int creates = 0;                  // a missing file (2) is created up to this many times
    bool missingWaits = true;         // past that, a missing file waits as any failure does;
                                      // false: its code is returned at once
};

// The print stream that is printed, or counted for its last page: never created.
inline constexpr OpenRetry kStreamOpen{std::chrono::milliseconds(2000),
                                       std::chrono::milliseconds(20)};
// The print stream of the preview: a missing one is created empty.
inline constexpr OpenRetry kPreviewOpen{std::chrono::milliseconds(2000),
                                        std::chrono::milliseconds(20), 3};

// Opens the assigned `file` (reset). A failing open is retried with pauses on the
// file system's clock until `policy.limit` has passed; a missing file is made with
// `create` (raising IoError when it cannot be) and opened again at once. Returns 0
// or the last attempt's code.
[[nodiscard]] ResultCode openRetrying(ByteFile& file, const OpenRetry& policy,
                                      const std::function<void()>& create = {});

// The create of kPreviewOpen: an empty file, closed (checked).
void createEmpty(ByteFile& file);

}  // namespace nx
