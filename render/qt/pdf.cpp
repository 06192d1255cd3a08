#include "render/qt/pdf.h"

#include <QPageSize>
#include <QPrinter>

#include "platform/qt/print_job.h"
#include "render/page_choice.h"

namespace nx::qt {

void savePdf(const QString& hostPath, int dpi, const std::function<void(PrintJob&, int dpi)>& print) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(hostPath);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setResolution(dpi);
    printer.setCreator(QStringLiteral("Norvexa"));
    QtPrintJob job(printer);
    print(job, printer.resolution());
    if (job.lackedFont())
        throw IoError(kDeviceWriteFault, "no installed font can draw the letters of the job; install a "
                                         "fixed-pitch TrueType font such as Courier New or Liberation Mono");
    if (!job.succeeded()) throw IoError(kDeviceWriteFault);
}

void savePdf(RenderContext& ctx, std::string_view dosPath, const QString& hostPath, int dpi,
             bool landscape, const std::set<int>* pages) {
    savePdf(hostPath, dpi, [&](PrintJob& job, int) {
        if (pages) {
            ChosenPages chosen(job, *pages);
            printStream(ctx, dosPath, chosen, landscape);
        } else {
            printStream(ctx, dosPath, job, landscape);
        }
    });
}

}  // namespace nx::qt
