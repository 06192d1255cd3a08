#include "render/form_feeds.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/open_retry.h"
#include "render/interpreter.h"

namespace nx {

void scanFormFeeds(ByteFile& file, const std::function<bool(std::int64_t after)>& atFormFeed) {
    ReadChunk buffer;
    std::int64_t start = 0;
    check(file.position(start));
    for (std::size_t got = 0;;) {
        buffer.prepare(got);
        check(file.readBlock(buffer.data(), buffer.capacity(), got));
        if (got == 0) return;
        const std::uint8_t* p = buffer.data();
        const std::uint8_t* end = p + got;
        while (p < end) {
            const auto* ff = static_cast<const std::uint8_t*>(
                std::memchr(p, code::kFormFeed, static_cast<std::size_t>(end - p)));
            if (!ff) break;
            p = ff + 1;
            if (!atFormFeed(start + (p - buffer.data()))) return;
        }
        start += static_cast<std::int64_t>(got);
    }
}

void skipFormFeeds(ByteFile& file, std::int64_t formFeeds) {
    if (formFeeds <= 0) return;
    scanFormFeeds(file, [&](std::int64_t after) {
        if (--formFeeds > 0) return true;
        check(file.seek(after));
        return false;
    });
}

int countFormFeeds(FileSystem& fs, std::string_view dosPath, Progress& progress) {
    ByteFile file(fs);
    file.assign(dosPath);
    // Another program may hold the file for a moment; a missing file is not created.
    check(openRetrying(file, kStreamOpen));
    int count = 0;
    try {
        std::int64_t size = 0;
        check(file.size(size));
        progress.setPosition(0);
        progress.setMaximum(size);
        progress.setStep(1);
        scanFormFeeds(file, [&](std::int64_t after) {
            progress.setPosition(after);
            if (count < INT_MAX) ++count;
            return true;
        });
    } catch (...) {
        (void)file.close();  // read only: the first failure is what is reported
        throw;
    }
    check(file.close());
    return count;
}

int pageCountOf(FileSystem& fs, std::string_view dosPath) {
    ByteFile file(fs);
    file.assign(dosPath);
    check(openRetrying(file, kStreamOpen));
    std::int64_t pages = 1, inLine = 0, awaiting = 0;
    try {
        ReadChunk buffer;
        for (std::size_t got = 0;;) {
            buffer.prepare(got);
            check(file.readBlock(buffer.data(), buffer.capacity(), got));
            if (got == 0) break;
            for (std::size_t i = 0; i < got; ++i) {
                // A byte after a finished line: its form feeds opened pages.
                pages += awaiting;
                awaiting = 0;
                const std::uint8_t b = buffer.data()[i];
                if (b == code::kFormFeed) ++inLine;
                if (b == code::kLineFeed) {
                    awaiting = inLine;
                    inLine = 0;
                }
            }
        }
    } catch (...) {
        (void)file.close();  // read only: the first failure is what is reported
        throw;
    }
    check(file.close());
    return static_cast<int>(std::min<std::int64_t>(pages, INT_MAX));
}

}  // namespace nx
