// Backgrounds: the files drawn under a folder's pages in place of a pre-printed
// form (a PNG, JPEG or BMP image stretched over the sheet, or a PDF whose page N
// lies under the job's page N at its own size, its last page under every later
// one). Each file is read once and kept while its size and time stay the same, so
// that every page draws the same image and a PDF output holds it once.
//
// Bounds: an image of more than kMaxBackgroundPixels is refused before it is
// decoded; one of more than kKeptBackgroundPixels is kept scaled down to that (an
// A4 sheet at 600 dpi). A PDF page is kept as an image at 300 dpi (at most
// kKeptBackgroundPixels), and at most kKeptPdfPages pages of a file at once.
#pragma once

#include <QImage>
#include <QSizeF>
#include <QString>
#include <cstdint>
#include <string>

namespace nx::qt {

inline constexpr std::int64_t kMaxBackgroundPixels = 64'000'000;   // e.g. 8000 x 8000
inline constexpr std::int64_t kKeptBackgroundPixels = 35'000'000;  // A4 at 600 dpi: 4961 x 7016
inline constexpr int kPdfBackgroundDpi = 300;
inline constexpr int kKeptPdfPages = 8;

// Whether this build reads PDF backgrounds (the Windows build reads images only).
bool readsPdfBackgrounds();

// Why the background file at `hostPath` cannot be drawn (UTF-8, beginning with its
// path), empty when it can: it is read as drawing it would read it.
std::string backgroundProblem(const std::string& hostPath);

// One page of a background as it is drawn.
struct BackgroundPage {
    QImage image;
    // A PDF page's own size in inches, drawn from the sheet's corner; empty for an
    // image, which is stretched over the whole sheet.
    QSizeF inches;
};

// Page `page` (1-based; past the file's last page, its last) of the background at
// `hostPath`. A file that cannot be drawn raises IoError with backgroundProblem's
// message (code page 1250).
BackgroundPage backgroundPage(const std::string& hostPath, int page);

// Forgets every file read (tests; a file changed on disk is read again anyway).
void forgetBackgrounds();

}  // namespace nx::qt
