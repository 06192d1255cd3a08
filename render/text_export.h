// The plain-text line copy of the preview's exports.
#pragma once

#include "platform/files.h"

namespace nx {

// `source` is bound (assigned) to a print-stream file; `target` is created and open
// for writing. Opens the source (closing it first if still open), writes one CR LF
// line per source line with space codes as spaces, form feeds kept and every other
// byte below 32 dropped, then closes the source and the target. Checked: a failure
// raises IoError after closing the target, so a later export to it works.
void copyLines(TextFile& source, TextFile& target);

}  // namespace nx
