#include "platform/qt/print_job.h"

#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPrinter>
#include <QTemporaryFile>
#include <cstdio>

#include "platform/qt/codec.h"

namespace nx::qt {

QtPrintJob::QtPrintJob(QPrinter& printer) : printer_(printer) {}

QtPrintJob::~QtPrintJob() {
    if (active_) abort();
}

void QtPrintJob::setTitle(std::string_view cp1250Title) {
    printer_.setDocName(fromCp1250(cp1250Title));
}

void QtPrintJob::setLandscape(bool landscape) {
    printer_.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
}

bool QtPrintJob::begin() {
    if (active_) return false;
    succeeded_ = false;
    pages_ = 0;
    pdfTarget_.clear();
    if (printer_.outputFormat() == QPrinter::PdfFormat || !printer_.outputFileName().isEmpty()) {
        const QString target = printer_.outputFileName();
        if (target.isEmpty()) return false;
        // Write beside the target, so that the final rename stays on one file system.
        QTemporaryFile probe(target + QStringLiteral(".part-XXXXXX.pdf"));
        if (!probe.open()) return false;
        const QString temp = probe.fileName();
        probe.setAutoRemove(false);
        probe.close();
        pdfTarget_ = target;
        printer_.setOutputFileName(temp);
    }
    if (!painter_.begin(&printer_)) {
        finishPdf(false);
        return false;
    }
    active_ = true;
    pages_ = 1;
    surface_ = std::make_unique<PainterSurface>(painter_, printer_.logicalDpiY(), QColor(Qt::white));
    surface_->beginPage();
    return true;
}

void QtPrintJob::newPage() {
    if (!active_) return;
    surface_->flush();
    printer_.newPage();
    surface_->beginPage();
    ++pages_;
}

void QtPrintJob::end() {
    if (!active_) return;
    surface_->flush();
    surface_.reset();
    const bool ok = painter_.end();
    active_ = false;
    succeeded_ = ok && printer_.printerState() != QPrinter::Error;
    finishPdf(succeeded_);
}

void QtPrintJob::abort() {
    if (!active_) return;
    // What is pending is dropped with the job.
    surface_->discard();
    surface_.reset();
    printer_.abort();
    painter_.end();
    active_ = false;
    succeeded_ = false;
    finishPdf(false);
}

Surface& QtPrintJob::surface() { return *surface_; }

void QtPrintJob::finishPdf(bool keep) {
    if (pdfTarget_.isEmpty()) return;
    const QString temp = printer_.outputFileName();
    printer_.setOutputFileName(pdfTarget_);
    pdfTarget_.clear();
    if (keep) {
        // rename(2) replaces the target in one step.
        if (std::rename(QFile::encodeName(temp).constData(),
                        QFile::encodeName(printer_.outputFileName()).constData()) != 0) {
            QFile::remove(temp);
            succeeded_ = false;
        }
    } else {
        QFile::remove(temp);
    }
}

}  // namespace nx::qt
