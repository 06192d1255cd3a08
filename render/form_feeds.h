// The form feeds of a print stream: where its pages begin.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "platform/files.h"
#include "platform/progress.h"

namespace nx {

// Reads `file` from its position in blocks and calls `atFormFeed` with the file
// offset just after each form feed, in order, until it returns false (the scan
// stops there) or the file ends. Checked reads (IoError).
void scanFormFeeds(ByteFile& file, const std::function<bool(std::int64_t after)>& atFormFeed);

// Moves `file` to the byte after its `formFeeds`-th form feed from its position, or
// to its end when it holds fewer: where reading byte by byte and counting would
// leave it.
void skipFormFeeds(ByteFile& file, std::int64_t formFeeds);

// The number of form feeds in the print stream at `dosPath` (at most INT_MAX), read
// after the short open retry of a stream that is never created. The progress runs
// from 0 to the file's size, set after each form feed. Checked (IoError); the file
// is closed again on every way out.
int countFormFeeds(FileSystem& fs, std::string_view dosPath, Progress& progress);

// The pages the printer output makes of the print stream at `dosPath`: one, and one
// more for each form feed whose line is followed by another (a form feed on the last
// line opens no page). Opened and checked as countFormFeeds.
int pageCountOf(FileSystem& fs, std::string_view dosPath);

}  // namespace nx
