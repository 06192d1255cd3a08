// A job as a PDF file: what the printer output draws, on the job's paper (A4 when
// the job takes the printer's own), with the fonts embedded, the text searchable
// and the box drawing as vector lines. The preview's "PDF mentés", the mail
// attachment and norvexa-print --pdf all go through here.
#pragma once

#include <QString>
#include <set>

#include "platform/document.h"

namespace nx::qt {

// Prints `doc` into the PDF file `hostPath` as `run` says (a PDF at 600 dpi
// unless it says otherwise). A job laid out on a paper of its own gets the whole
// sheet as its page, the job in an office printer's printable area on it. A job that cannot be begun or completed raises IoError
// (kDeviceWriteFault); so do the document's own errors. The file is whole or not
// written.
// With `archival`, the file is PDF/A-1b (its identification in the metadata, every
// font embedded, nothing transparent).
void savePdf(Document& doc, const QString& hostPath, Progress& progress, const PrintRun& run = {},
             bool archival = false);

}  // namespace nx::qt
