#include "render/qt/pdf.h"

#include <QPageSize>
#include <QPrinter>

#include "platform/qt/print_job.h"
#include "render/printer_output.h"

namespace nx::qt {

QPageSize pageSizeOf(const PaperSize& paper) {
    if (paper == kA4) return QPageSize(QPageSize::A4);
    return QPageSize(QSizeF(static_cast<double>(paper.width) * 72 / kSheetUnitsPerInch,
                            static_cast<double>(paper.height) * 72 / kSheetUnitsPerInch),
                     QPageSize::Point);
}

void savePdf(Document& doc, const QString& hostPath, Progress& progress, const PrintRun& run) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(hostPath);
    printer.setPageSize(pageSizeOf(doc.sheet().paperOr(kA4)));
    printer.setResolution(run.dpi);
    printer.setCreator(QStringLiteral("Norvexa"));
    QtPrintJob job(printer);
    PrintRun atResolution = run;
    atResolution.dpi = printer.resolution();
    doc.print(job, atResolution, progress);
    if (job.lackedFont())
        throw IoError(kDeviceWriteFault, "no installed font can draw the letters of the job; install a "
                                         "fixed-pitch TrueType font such as Courier New or Liberation Mono");
    if (!job.succeeded()) throw IoError(kDeviceWriteFault);
}

}  // namespace nx::qt
