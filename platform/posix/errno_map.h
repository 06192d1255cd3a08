// System errors (errno) as DOS result codes.
#pragma once

#include <string>

#include "platform/result.h"

namespace nx {

// Maps an errno value onto a result code. `hostPath` decides between 2 and 3 for
// ENOENT (3 when a directory on the way is missing). Unmapped errors give 31.
ResultCode resultFromErrno(int err, const std::string& hostPath);

}  // namespace nx
