#include "platform/open_retry.h"

namespace nx {

ResultCode openRetrying(ByteFile& file, const OpenRetry& policy,
                        const std::function<void()>& create) {
    Clock& clock = file.fileSystem().clock();
    const auto deadline = clock.now() + policy.limit;
    int creates = 0;
    for (;;) {
        const ResultCode rc = file.reset();
        if (rc == kOk) return rc;
        if (rc == kFileNotFound && create && creates < policy.creates) {
            // Creating a missing file and finding it missing again is bounded too.
            ++creates;
            create();
            continue;
        }
        if (rc == kFileNotFound && !policy.missingWaits) return rc;
        if (clock.now() >= deadline) return rc;
        clock.pause(policy.pause);
    }
}

void createEmpty(ByteFile& file) {
    check(file.rewrite());
    check(file.close());
}

}  // namespace nx
