// The print job on a QPrinter: a CUPS (or system) printer, or a PDF file.
//
// A PDF is written to a temporary file beside the target and renamed over it only
// when the job ends well, so an aborted job leaves no half document and keeps an
// earlier file of that name. A printer job is spooled only when it ends; aborting
// discards it.
#pragma once

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QString>
#include <memory>
#include <string_view>

#include "platform/printjob.h"
#include "platform/qt/painter_surface.h"
#include "platform/sheet.h"

class QPrinter;

namespace nx::qt {

// The paper of a sheet as Qt names it.
QPageSize pageSizeOf(const PaperSize& paper);

// A printer set up for one job laid out on `sheet`: it gets the sheet's paper, where
// the sheet has one, and a PDF has no margins then (the page is the sheet); the
// printer's own layout comes back when the object goes.
class SheetOnPrinter {
public:
    SheetOnPrinter(QPrinter& printer, const Sheet& sheet);
    ~SheetOnPrinter();
    SheetOnPrinter(const SheetOnPrinter&) = delete;
    SheetOnPrinter& operator=(const SheetOnPrinter&) = delete;

    // The length the printer prints on from its printable corner, in sheet units.
    std::int64_t printableHeight() const;
    std::int64_t printableWidth() const;

private:
    QPrinter& printer_;
    QPageLayout before_;
};

class QtPrintJob : public nx::PrintJob {
public:
    explicit QtPrintJob(QPrinter& printer);
    // A job still running when the object goes is aborted.
    ~QtPrintJob() override;
    QtPrintJob(const QtPrintJob&) = delete;
    QtPrintJob& operator=(const QtPrintJob&) = delete;

    void setTitle(std::string_view cp1250Title) override;
    void setLandscape(bool landscape) override;
    bool begin() override;
    void newPage() override;
    void end() override;
    void abort() override;
    Surface& surface() override;

    bool active() const { return active_; }
    // Whether the last job reached its printer or file completely.
    bool succeeded() const { return succeeded_; }
    // The last job into a PDF failed because no font could draw its letters.
    bool lackedFont() const { return lackedFont_; }
    int pages() const { return pages_; }

    // How long a submission to the scheduler may take.
    static constexpr int kSubmitTimeoutMs = 60000;

private:
    void finishPdf(bool keep);
    bool submitSpool();

    QPrinter& printer_;
    QPainter painter_;
    std::unique_ptr<PainterSurface> surface_;
    bool active_ = false;
    bool succeeded_ = false;
    bool lackedFont_ = false;
    int pages_ = 0;
    QString pdfTarget_;  // the output file the caller asked for, while writing a temporary
    QString spool_;      // the temporary file of a printer job, submitted at its end
};

}  // namespace nx::qt
