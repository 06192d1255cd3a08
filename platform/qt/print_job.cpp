#include "platform/qt/print_job.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPageLayout>
#include <QPrinter>
#include <QTemporaryFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/qt/codec.h"

namespace nx::qt {

QPageSize pageSizeOf(const PaperSize& paper) {
    if (paper == kA4) return QPageSize(QPageSize::A4);
    if (paper == kA5) return QPageSize(QPageSize::A5);
    if (paper == kLetter) return QPageSize(QPageSize::Letter);
    if (paper == kLegal) return QPageSize(QPageSize::Legal);
    return QPageSize(QSizeF(static_cast<double>(paper.width) * 72 / kSheetUnitsPerInch,
                            static_cast<double>(paper.height) * 72 / kSheetUnitsPerInch),
                     QPageSize::Point);
}

SheetOnPrinter::SheetOnPrinter(QPrinter& printer, const Sheet& sheet)
    : printer_(printer), before_(printer.pageLayout()) {
    if (!sheet.paper) return;
    printer_.setPageSize(pageSizeOf(*sheet.paper));
    if (printer_.outputFormat() == QPrinter::PdfFormat) printer_.setPageMargins(QMarginsF(0, 0, 0, 0));
}

SheetOnPrinter::~SheetOnPrinter() { printer_.setPageLayout(before_); }

std::int64_t SheetOnPrinter::printableHeight() const {
    const int dpi = std::max(1, printer_.resolution());
    return static_cast<std::int64_t>(printer_.pageLayout().paintRectPixels(dpi).height()) * kSheetUnitsPerInch / dpi;
}

std::int64_t SheetOnPrinter::printableWidth() const {
    const int dpi = std::max(1, printer_.resolution());
    return static_cast<std::int64_t>(printer_.pageLayout().paintRectPixels(dpi).width()) * kSheetUnitsPerInch / dpi;
}
namespace {

// The whole sheet in the painter's units: the painter draws from the printable
// corner.
QRect sheetRectOf(QPrinter& printer) {
    const int dpi = std::max(1, printer.resolution());
    const QPageLayout layout = printer.pageLayout();
    const QRect full = layout.fullRectPixels(dpi);
    const QRect paint = layout.paintRectPixels(dpi);
    return {full.left() - paint.left(), full.top() - paint.top(), full.width(), full.height()};
}

// A new empty file named after `target`, created with the permissions that a new
// `target` would get (or those of the existing one), so that the rename at the end
// gives the document its usual mode. Empty when none can be made.
QString createPartFile(const QString& target) {
#ifdef Q_OS_WIN
    QTemporaryFile part(target + QStringLiteral(".part-XXXXXX.pdf"));
    if (!part.open()) return {};
    part.setAutoRemove(false);
    return part.fileName();
#else
    const QByteArray base = QFile::encodeName(target);
    struct stat old {};
    const bool exists = ::stat(base.constData(), &old) == 0;
    for (int n = 0; n < 100; ++n) {
        const QByteArray name = base + ".part-" + QByteArray::number(::getpid()) + "-" + QByteArray::number(n) + ".pdf";
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return {};
        }
        if (exists) ::fchmod(fd, old.st_mode & 07777);
        ::close(fd);
        return QFile::decodeName(name);
    }
    return {};
#endif
}

}  // namespace

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
    spool_.clear();
#ifndef Q_OS_WIN
    if (printer_.outputFormat() == QPrinter::NativeFormat && printer_.outputFileName().isEmpty()) {
        if (printer_.printerName().isEmpty()) return false;
        // Not ending in ".pdf", so the printer keeps its native engine and settings.
        QTemporaryFile spool(QDir::tempPath() + QStringLiteral("/norvexa-job-XXXXXX.part"));
        if (!spool.open()) return false;
        spool_ = spool.fileName();
        spool.setAutoRemove(false);
        spool.close();
        printer_.setOutputFileName(spool_);
        if (!painter_.begin(&printer_)) {
            printer_.setOutputFileName(QString());
            QFile::remove(spool_);
            spool_.clear();
            return false;
        }
        active_ = true;
        pages_ = 1;
        surface_ = std::make_unique<PainterSurface>(painter_, printer_.logicalDpiY(), QColor(Qt::white));
        surface_->setSheetRect(sheetRectOf(printer_));
        surface_->beginPage();
        return true;
    }
#endif
    if (printer_.outputFormat() == QPrinter::PdfFormat || !printer_.outputFileName().isEmpty()) {
        const QString target = printer_.outputFileName();
        if (target.isEmpty()) return false;
        // Write beside the target, so that the final rename stays on one file system.
        const QString temp = createPartFile(target);
        if (temp.isEmpty()) return false;
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
    surface_->setSheetRect(sheetRectOf(printer_));
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
    // A PDF without a font that draws the letters would show no text (or boxes):
    // it is not written. A printer draws with whatever the system substitutes.
    lackedFont_ = surface_->lacksFont() && (!pdfTarget_.isEmpty() || printer_.outputFormat() == QPrinter::PdfFormat);
    surface_.reset();
    const bool ok = painter_.end();
    active_ = false;
    succeeded_ = ok && printer_.printerState() != QPrinter::Error && !lackedFont_;
    if (!spool_.isEmpty()) {
        printer_.setOutputFileName(QString());
        if (succeeded_) succeeded_ = submitSpool();
        QFile::remove(spool_);
        spool_.clear();
    }
    finishPdf(succeeded_);
}

bool QtPrintJob::submitSpool() {
    QStringList args = {QStringLiteral("-d"), printer_.printerName(), QStringLiteral("-t"),
                        printer_.docName(), QStringLiteral("-n"), QString::number(printer_.copyCount())};
    if (printer_.copyCount() > 1 && printer_.collateCopies()) args << QStringLiteral("-o") << QStringLiteral("collate=true");
    switch (printer_.duplex()) {
    case QPrinter::DuplexLongSide:
        args << QStringLiteral("-o") << QStringLiteral("sides=two-sided-long-edge");
        break;
    case QPrinter::DuplexShortSide:
        args << QStringLiteral("-o") << QStringLiteral("sides=two-sided-short-edge");
        break;
    case QPrinter::DuplexNone:
        args << QStringLiteral("-o") << QStringLiteral("sides=one-sided");
        break;
    case QPrinter::DuplexAuto:
        break;
    }
    args << QStringLiteral("--") << spool_;
    QProcess lp;
    lp.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    lp.setStandardOutputFile(QProcess::nullDevice());
    lp.start(QStringLiteral("lp"), args);
    if (!lp.waitForStarted(kSubmitTimeoutMs)) return false;
    if (!lp.waitForFinished(kSubmitTimeoutMs)) {
        lp.kill();
        lp.waitForFinished(1000);
        return false;
    }
    return lp.exitStatus() == QProcess::NormalExit && lp.exitCode() == 0;
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
    if (!spool_.isEmpty()) {
        printer_.setOutputFileName(QString());
        QFile::remove(spool_);
        spool_.clear();
    }
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
