#include "platform/qt/background.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

#ifdef NORVEXA_HAVE_QTPDF
#include <QPdfDocument>
#endif

#include "platform/cp1250_utf8.h"
#include "platform/result.h"

namespace nx::qt {

namespace {

// One file as it was read.
struct Entry {
    qint64 size = -1;
    QDateTime modified;
    std::string problem;  // why it cannot be drawn; empty when it can
    bool pdf = false;
    QImage image;         // an image background
#ifdef NORVEXA_HAVE_QTPDF
    std::unique_ptr<QPdfDocument> document;
#endif
    int pageCount = 0;
    std::map<int, QImage> pages;  // PDF pages drawn so far (0-based)
    std::deque<int> order;        // the oldest first
};

std::mutex mutex;
std::map<std::string, Entry>& cache() {
    // Never destroyed: a PDF document must not be closed after the application's
    // end, when its library has gone.
    static auto* entries = new std::map<std::string, Entry>;
    return *entries;
}

std::string named(const std::string& path, const std::string& why) { return path + ": " + why; }

QImage flattened(const QImage& image) {
    // Transparent parts are the paper's white; the PDF holds no transparency.
    if (!image.hasAlphaChannel()) return image.convertToFormat(QImage::Format_RGB32);
    QImage out(image.size(), QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter p(&out);
    p.drawImage(0, 0, image);
    p.end();
    return out;
}

QSize keptSize(QSize size) {
    const double pixels = static_cast<double>(size.width()) * size.height();
    if (pixels <= static_cast<double>(kKeptBackgroundPixels)) return size;
    const double f = std::sqrt(static_cast<double>(kKeptBackgroundPixels) / pixels);
    return {std::max(1, static_cast<int>(size.width() * f)), std::max(1, static_cast<int>(size.height() * f))};
}

void readImage(const std::string& path, Entry& e) {
    QImageReader reader(QString::fromStdString(path));
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format().toLower();
    if (format != "png" && format != "jpeg" && format != "jpg" && format != "bmp") {
        e.problem = named(path, "nem PNG, JPEG vagy BMP kép, és nem PDF");
        return;
    }
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty()) {
        e.problem = named(path, "hibás kép, a mérete nem olvasható");
        return;
    }
    if (static_cast<double>(size.width()) * size.height() > static_cast<double>(kMaxBackgroundPixels)) {
        e.problem = named(path, "a kép túl nagy: " + std::to_string(size.width()) + " x " +
                                    std::to_string(size.height()) + " képpont (legfeljebb " +
                                    std::to_string(kMaxBackgroundPixels / 1'000'000) + " megapixel)");
        return;
    }
    // Nothing larger than the decoded image is ever allocated.
    reader.setAllocationLimit(static_cast<int>(kMaxBackgroundPixels * 4 / (1024 * 1024)) + 1);
    if (keptSize(size) != size) reader.setScaledSize(keptSize(size));
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        e.problem = named(path, "hibás kép (" + reader.errorString().toStdString() + ")");
        return;
    }
    if (image.size() != keptSize(image.size()))
        image = image.scaled(keptSize(image.size()), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    e.image = flattened(image);
}

#ifdef NORVEXA_HAVE_QTPDF
QSizeF pageInches(QPdfDocument& doc, int page) {
    const QSizeF points = doc.pagePointSize(page);
    return {points.width() / 72.0, points.height() / 72.0};
}

// Page `page` (0-based) of the PDF as an image, or a null image.
QImage renderPdfPage(QPdfDocument& doc, int page) {
    const QSizeF inches = pageInches(doc, page);
    if (inches.isEmpty()) return {};
    const QSize size = keptSize(QSize(std::max(1, static_cast<int>(std::lround(inches.width() * kPdfBackgroundDpi))),
                                      std::max(1, static_cast<int>(std::lround(inches.height() * kPdfBackgroundDpi)))));
    const QImage drawn = doc.render(page, size);
    if (drawn.isNull()) return {};
    return flattened(drawn);
}
#endif

void readPdf(const std::string& path, Entry& e) {
    e.pdf = true;
#ifdef NORVEXA_HAVE_QTPDF
    e.document = std::make_unique<QPdfDocument>();
    const QPdfDocument::Error error = e.document->load(QString::fromStdString(path));
    if (error != QPdfDocument::Error::None || e.document->pageCount() < 1) {
        e.problem = named(path, error == QPdfDocument::Error::IncorrectPassword ? "jelszóval védett PDF"
                                                                                 : "hibás PDF, nem olvasható");
        e.document.reset();
        return;
    }
    e.pageCount = e.document->pageCount();
    // The first page is drawn now: a file that cannot be drawn is refused whole.
    const QImage first = renderPdfPage(*e.document, 0);
    if (first.isNull()) {
        e.problem = named(path, "hibás PDF, az első oldala nem rajzolható");
        e.document.reset();
        return;
    }
    e.pages[0] = first;
    e.order.push_back(0);
#else
    e.problem = named(path, "PDF háttér ebben a változatban nem használható; PNG, JPEG vagy BMP képet adjon meg");
#endif
}

// The entry for `path`, read again when the file changed. Called with the mutex held.
Entry& entryOf(const std::string& path) {
    const QFileInfo info(QString::fromStdString(path));
    Entry& e = cache()[path];
    if (!info.exists() || !info.isFile()) {
        e = Entry{};
        e.problem = named(path, "a háttér fájl nem található");
        return e;
    }
    if (e.size >= 0 && e.size == info.size() && e.modified == info.lastModified()) return e;
    e = Entry{};
    e.size = info.size();
    e.modified = info.lastModified();
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        e.problem = named(path, "a háttér fájl nem olvasható (" + file.errorString().toStdString() + ")");
        return e;
    }
    const QByteArray head = file.read(1024);
    file.close();
    if (head.contains("%PDF-")) readPdf(path, e);
    else readImage(path, e);
    return e;
}

}  // namespace

bool readsPdfBackgrounds() {
#ifdef NORVEXA_HAVE_QTPDF
    return true;
#else
    return false;
#endif
}

std::string backgroundProblem(const std::string& hostPath) {
    const std::lock_guard<std::mutex> lock(mutex);
    return entryOf(hostPath).problem;
}

BackgroundPage backgroundPage(const std::string& hostPath, int page) {
    const std::lock_guard<std::mutex> lock(mutex);
    Entry& e = entryOf(hostPath);
    if (!e.problem.empty()) throw IoError(kFileNotFound, utf8ToCp1250(e.problem));
    if (!e.pdf) return {e.image, {}};
#ifdef NORVEXA_HAVE_QTPDF
    const int index = std::clamp(page, 1, e.pageCount) - 1;
    auto it = e.pages.find(index);
    if (it == e.pages.end()) {
        QImage drawn = renderPdfPage(*e.document, index);
        if (drawn.isNull())
            throw IoError(kFileNotFound, utf8ToCp1250(named(hostPath, "hibás PDF, a(z) " + std::to_string(index + 1) +
                                                                           ". oldala nem rajzolható")));
        if (e.order.size() >= static_cast<std::size_t>(kKeptPdfPages)) {
            e.pages.erase(e.order.front());
            e.order.pop_front();
        }
        it = e.pages.emplace(index, std::move(drawn)).first;
        e.order.push_back(index);
    }
    return {it->second, pageInches(*e.document, index)};
#else
    (void)page;
    throw IoError(kFileNotFound, utf8ToCp1250(e.problem));
#endif
}

void forgetBackgrounds() {
    const std::lock_guard<std::mutex> lock(mutex);
    cache().clear();
}

}  // namespace nx::qt
