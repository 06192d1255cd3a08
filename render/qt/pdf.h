// A job as a PDF file: what the printer output draws, on A4, with the fonts
// embedded, the text searchable and the box drawing as vector lines. The preview's
// "PDF mentés", the mail attachment and norvexa-print --pdf all go through here.
#pragma once

#include <QString>
#include <functional>
#include <set>
#include <string_view>

#include "render/printer_output.h"

namespace nx::qt {

// Prints the print stream at `dosPath` into the PDF file `hostPath` at `dpi`, across
// the page when `landscape`; with `pages`, only those pages. A job that cannot be begun or completed raises
// IoError (kDeviceWriteFault); so do the printer output's own errors. The file is
// whole or not written.
void savePdf(RenderContext& ctx, std::string_view dosPath, const QString& hostPath, int dpi = 600,
             bool landscape = false, const std::set<int>* pages = nullptr);

// The same for a job of another format: `print` prints it on the job it is given
// (an ESC/P job); `dpi` is the PDF's resolution.
void savePdf(const QString& hostPath, int dpi, const std::function<void(PrintJob&, int dpi)>& print);

}  // namespace nx::qt
