// The device of a print queue that draws DOS jobs: "norvexa:/TARGET?KEY=VALUE&...",
// where TARGET is the queue of the same scheduler that receives the drawn job and
// the keys are those of a watched folder (tipus, kodlap, papir, eltolas, hatter:
// host paths the scheduler's user can read, percent-encoded, parted by "|") and
// forma: escp (the default) or sor, the seven host programs' own format.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "formats/open.h"

namespace nx {

struct QueueDevice {
    std::string target;
    // The job's keys as a watched folder's: pins, code page, paper, offset.
    WatchedFolder keys;
    bool lineFormat = false;  // forma=sor
};

inline constexpr std::string_view kDeviceScheme = "norvexa";

// The URI read; nothing with `why` (UTF-8) saying what is wrong.
std::optional<QueueDevice> parseDeviceUri(std::string_view uri, std::string& why);
// The URI of a device: every key written, so that the queue shows them all.
std::string deviceUri(const QueueDevice& device);

// How a job of this device is opened: the line format converted into `convertInto`,
// or ESC/P read by its keys.
JobOrigin originOf(const QueueDevice& device, const std::string& convertInto);

// Whether `name` may be a CUPS queue's name: printable characters other than space,
// tab, "/", "\\", "?", "'", "\"" and "#", at most 127 bytes.
bool isQueueName(std::string_view name);

}  // namespace nx
