#include "render/qt/pdf.h"

#include <QPageSize>
#include <QPrinter>

#include "platform/qt/print_job.h"
#include "render/printer_output.h"

namespace nx::qt {

void savePdf(Document& doc, const QString& hostPath, Progress& progress, const PrintRun& run, bool archival) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    if (archival) printer.setPdfVersion(QPagedPaintDevice::PdfVersion_A1b);
    printer.setOutputFileName(hostPath);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setResolution(run.dpi);
    printer.setCreator(QStringLiteral("Norvexa"));
    const SheetOnPrinter sheet(printer, doc.sheet());
    QtPrintJob job(printer);
    PrintRun onPrinter = run;
    onPrinter.dpi = printer.resolution();
    onPrinter.printableHeight = sheet.printableHeight();
    onPrinter.printableWidth = sheet.printableWidth();
    // A job on a paper of its own has the whole sheet as the PDF's page.
    onPrinter.wholeSheet = doc.sheet().paper.has_value();
    doc.print(job, onPrinter, progress);
    if (job.lackedFont())
        throw IoError(kDeviceWriteFault, "no installed font can draw the letters of the job; install a "
                                         "fixed-pitch TrueType font such as Courier New or Liberation Mono");
    if (!job.succeeded()) throw IoError(kDeviceWriteFault);
}

}  // namespace nx::qt
