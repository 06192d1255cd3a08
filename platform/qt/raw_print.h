// A job's bytes sent to a printer unchanged, for a printer that reads them itself (a
// dot-matrix printer's ESC/P): a raw document to a CUPS queue, or a job of the
// Windows spooler's RAW data type. Nothing is drawn.
#pragma once

#include <QString>

namespace nx::qt {

// Whether the system lists a printer of that name.
bool printerExists(const QString& name);

// Sends the file at `hostPath` to the printer `name` as one raw job titled `title`.
// Returns an empty text when the printer took it, else why not (UTF-8).
QString sendRaw(const QString& name, const QString& hostPath, const QString& title);

}  // namespace nx::qt
