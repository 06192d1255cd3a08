// A folder's sheet in the PDF that norvexa-print writes: where the job lies on the
// page (a printer's printable area, offsets, papers of any size, narrow papers) and
// the backgrounds drawn under it, read back with pdftotext and pdftoppm.
#include <QColor>
#include <QImage>
#include <QPainter>

#include <cstdint>
#include <map>
#include <regex>

#include "tests/cli/cli_support.h"

namespace {

using nx::test::Cli;
using nx::test::slurp;
using nx::test::spit;
using nx::test::quote;
namespace fs = std::filesystem;

constexpr double kMm = 72 / 25.4;  // points a millimetre
constexpr int kRasterDpi = 100;

struct Word {
    double x, y;
    std::string text;
};

class SheetPdf : public Cli {
protected:
    // The words of each page of a PDF, with their top-left corners in points.
    std::vector<std::vector<Word>> words(const fs::path& pdf) {
        const fs::path xml = dir / "bbox.html";
        EXPECT_EQ(std::system(("pdftotext -bbox " + quote(pdf.string()) + " " + quote(xml.string())).c_str()), 0);
        std::vector<std::vector<Word>> pages;
        std::istringstream in(slurp(xml));
        const std::regex word(R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)"[^>]*>([^<]*)</word>)re");
        for (std::string line; std::getline(in, line);) {
            if (line.find("<page") != std::string::npos) pages.emplace_back();
            std::smatch m;
            if (std::regex_search(line, m, word) && !pages.empty())
                pages.back().push_back({std::stod(m[1]), std::stod(m[2]), m[3]});
        }
        return pages;
    }
    // Each page of a PDF as a grey image at kRasterDpi.
    std::vector<QImage> raster(const fs::path& pdf) {
        const fs::path prefix = dir / "page";
        EXPECT_EQ(std::system(("pdftoppm -gray -r " + std::to_string(kRasterDpi) + " " + quote(pdf.string()) + " " +
                               quote(prefix.string()))
                                  .c_str()),
                  0);
        std::map<std::string, QImage> byName;
        for (const auto& e : fs::directory_iterator(dir))
            if (e.path().filename().string().rfind("page-", 0) == 0) {
                byName[e.path().filename().string()] = QImage(QString::fromStdString(e.path().string()));
                fs::remove(e.path());
            }
        std::vector<QImage> pages;
        for (auto& [name, image] : byName) pages.push_back(image);
        return pages;
    }
    // The darkest and the mean grey of a rectangle given in millimetres.
    static std::pair<int, double> greyIn(const QImage& page, double x, double y, double w, double h) {
        const double px = kRasterDpi / 25.4;
        int darkest = 255;
        double sum = 0;
        int n = 0;
        for (int j = static_cast<int>(y * px); j < static_cast<int>((y + h) * px); ++j)
            for (int i = static_cast<int>(x * px); i < static_cast<int>((x + w) * px); ++i) {
                const int g = qGray(page.pixel(i, j));
                darkest = std::min(darkest, g);
                sum += g;
                ++n;
            }
        return {darkest, n ? sum / n : 255};
    }
    // An A4-shaped image of 4 pixels a millimetre, white with a grey square of 20 mm
    // at (x, y) millimetres.
    fs::path form(const std::string& name, int x, int y) {
        QImage image(840, 1188, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        p.fillRect(4 * x, 4 * y, 80, 80, QColor(128, 128, 128));
        p.end();
        const fs::path file = dir / name;
        EXPECT_TRUE(image.save(QString::fromStdString(file.string()), "PNG"));
        return file;
    }
    // A grey mark of 20 mm at (x, y) millimetres.
    static bool markAt(const QImage& page, double x, double y) {
        const auto inside = greyIn(page, x + 0.5, y + 0.5, 19, 19);
        const auto left = greyIn(page, x - 1.5, y + 5, 1, 10), above = greyIn(page, x + 5, y - 1.5, 10, 1);
        return inside.second > 100 && inside.second < 160 && left.first > 240 && above.first > 240;
    }
    std::string pdf(const std::vector<std::string>& extra, const fs::path& job, const fs::path& out) {
        std::vector<std::string> args = {"--escp"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.insert(args.end(), {job.string(), "--pdf", out.string()});
        const nx::test::Result r = run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return r.err;
    }
    static std::string lines(int count, int first = 1) {
        std::string text;
        for (int i = first; i < first + count; ++i) text += "L" + std::to_string(i) + " abc\r\n";
        return text;
    }
};

TEST_F(SheetPdf, TheJobKeepsAPrintersPrintableAreaAndAnOffsetOnlyMovesIt) {
    // A 12-inch page of 72 lines: fitted between 1/6-inch margins at the top and
    // foot of A4, its first letter 1/6 inch from the top and left edges.
    const fs::path twelve = job("twelve.prn", "\x1b" "C" + std::string(1, '\0') + "\x0c" + lines(72) + "\x0c");
    pdf({}, twelve, dir / "twelve.pdf");
    const auto pages = words(dir / "twelve.pdf");
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_EQ(pages[0].size(), 144u);
    EXPECT_NEAR(pages[0][0].x, 12, 0.5);
    EXPECT_NEAR(pages[0][0].y, 12, 0.5);
    EXPECT_LT(pages[0].back().y + 10, 842 - 12);

    // An offset of 10,5 mm moves every letter by exactly that, at the same scale.
    const fs::path page = job("page.prn", "\x1b" "C" + std::string(1, '\0') + "\x0b" + lines(3) + "\x0c");
    pdf({}, page, dir / "plain.pdf");
    pdf({"--offset", "10,5"}, page, dir / "moved.pdf");
    const auto plain = words(dir / "plain.pdf"), moved = words(dir / "moved.pdf");
    ASSERT_EQ(plain.size(), 1u);
    ASSERT_EQ(moved.size(), 1u);
    ASSERT_EQ(plain[0].size(), moved[0].size());
    for (std::size_t i = 0; i < plain[0].size(); ++i) {
        EXPECT_NEAR(moved[0][i].x - plain[0][i].x, 10 * kMm, 0.15) << moved[0][i].text;
        EXPECT_NEAR(moved[0][i].y - plain[0][i].y, 5 * kMm, 0.15) << moved[0][i].text;
    }

    // A5: an 11-inch page of 59-column lines is one sheet a page, no line wrapped.
    std::string wide = "\x1b" "C" + std::string(1, '\0') + "\x0b";
    for (int i = 0; i < 60; ++i) wide += "PB-P1-R" + std::to_string(i % 10) + " " + std::string(50, 'x') + "\r\n";
    const fs::path a5 = job("a5.prn", wide + "\x0c" + wide + "\x0c");
    pdf({"--paper", "A5"}, a5, dir / "a5.pdf");
    const auto a5pages = words(dir / "a5.pdf");
    ASSERT_EQ(a5pages.size(), 2u);
    for (const auto& p : a5pages) {
        ASSERT_EQ(p.size(), 120u);
        for (std::size_t i = 0; i < p.size(); i += 2) EXPECT_EQ(p[i].text.substr(0, 7), "PB-P1-R");
        EXPECT_NEAR(p[0].x, 12, 0.5);
    }
}

TEST_F(SheetPdf, APaperOfItsOwnSizeIsThePdfsPage) {
    const fs::path j = job("j.prn", lines(2));
    pdf({"--paper", "216x178"}, j, dir / "own.pdf");
    ASSERT_EQ(std::system(("pdfinfo " + quote((dir / "own.pdf").string()) + " > " + quote((dir / "info").string())).c_str()), 0);
    EXPECT_NE(slurp(dir / "info").find("612 x 505 pts"), std::string::npos) << slurp(dir / "info");
    const auto pages = words(dir / "own.pdf");
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_NEAR(pages[0][0].x, 12, 0.5);
    EXPECT_NEAR(pages[0][0].y, 12, 0.5);
    // Out of range or malformed: refused as a bad argument.
    EXPECT_EQ(run({"--escp", "--paper", "40x300", j.string(), "--pdf", (dir / "x.pdf").string()}).status, 2);
    EXPECT_EQ(run({"--escp", "--paper", "216x", j.string(), "--pdf", (dir / "x.pdf").string()}).status, 2);
}

TEST_F(SheetPdf, BackgroundsLieUnderEverySheetAndStayWhenTheJobMoves) {
    // Three pages, with letters over the first form's mark on each.
    std::string one = "\x1b" "C" + std::string(1, '\0') + "\x0b";
    for (int i = 0; i < 47; ++i) one += "\r\n";
    one += std::string(58, ' ') + "MMMMMMMMMM\r\n";
    const fs::path j = job("three.prn", "PAGE\r\n" + one + "\x0cPAGE\r\n" + one + "\x0cPAGE\r\n" + one + "\x0c");
    const fs::path first = form("first.png", 150, 200), second = form("second.png", 30, 250);

    pdf({"--background", first.string()}, j, dir / "one.pdf");
    auto pages = raster(dir / "one.pdf");
    ASSERT_EQ(pages.size(), 3u);
    for (const QImage& p : pages) {
        EXPECT_TRUE(markAt(p, 150, 200));
        EXPECT_LT(greyIn(p, 150.5, 200.5, 19, 19).first, 60);  // the letters over the mark
    }
    // Moved by an offset: the letters move, the marks stay.
    pdf({"--background", first.string(), "--offset", "10,5"}, j, dir / "moved.pdf");
    pages = raster(dir / "moved.pdf");
    ASSERT_EQ(pages.size(), 3u);
    for (const QImage& p : pages) EXPECT_TRUE(markAt(p, 150, 200));
    EXPECT_NEAR(words(dir / "moved.pdf")[0][0].x, 12 + 10 * kMm, 0.5);

    // Two backgrounds: the whole job under each in turn, in one PDF.
    pdf({"--background", first.string() + "|" + second.string()}, j, dir / "two.pdf");
    pages = raster(dir / "two.pdf");
    ASSERT_EQ(pages.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(markAt(pages[i], 150, 200), i < 3) << i;
        EXPECT_EQ(markAt(pages[i], 30, 250), i >= 3) << i;
    }

    // A two-page PDF background under a three-page job: its pages 1, 2, 2.
    const fs::path ps = dir / "form.ps";
    auto square = [](int x, int y) {
        return "0.5 setgray " + std::to_string(x * kMm) + " " + std::to_string(842 - (y + 20) * kMm) + " " +
               std::to_string(20 * kMm) + " " + std::to_string(20 * kMm) + " rectfill showpage\n";
    };
    spit(ps, "%!PS\n<< /PageSize [595 842] >> setpagedevice\n" + square(150, 200) + square(30, 250));
    ASSERT_EQ(std::system(("ps2pdf " + quote(ps.string()) + " " + quote((dir / "form.pdf").string())).c_str()), 0);
    pdf({"--background", (dir / "form.pdf").string()}, j, dir / "pdfform.pdf");
    pages = raster(dir / "pdfform.pdf");
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_TRUE(markAt(pages[0], 150, 200));
    EXPECT_FALSE(markAt(pages[0], 30, 250));
    EXPECT_TRUE(markAt(pages[1], 30, 250));
    EXPECT_TRUE(markAt(pages[2], 30, 250));
    EXPECT_FALSE(markAt(pages[2], 150, 200));
}

TEST_F(SheetPdf, ABackgroundIsStoredOnceHoweverManyPagesLieOnIt) {
    // A 300-dpi A4 form with something on it to compress.
    QImage image(2480, 3508, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    for (int y = 0; y < 3508; y += 40) p.fillRect(0, y, 2480 - y / 2, 3, QColor(y % 256, 90, 200 - y % 200));
    p.end();
    const fs::path formFile = dir / "form.png";
    ASSERT_TRUE(image.save(QString::fromStdString(formFile.string()), "PNG"));
    std::string many;
    for (int i = 0; i < 100; ++i) many += lines(3, i) + "\x0c";
    const fs::path one = job("one.prn", lines(3)), hundred = job("hundred.prn", many);
    pdf({}, one, dir / "one.pdf");
    pdf({"--background", formFile.string()}, one, dir / "one-bg.pdf");
    pdf({}, hundred, dir / "hundred.pdf");
    pdf({"--background", formFile.string()}, hundred, dir / "hundred-bg.pdf");
    const auto size = [&](const char* name) { return static_cast<double>(fs::file_size(dir / name)); };
    const double once = size("one-bg.pdf") - size("one.pdf");
    ASSERT_GT(once, 10000);
    EXPECT_LT(size("hundred-bg.pdf") - size("hundred.pdf"), 1.5 * once);
}

// The bytes of a PNG that says it is `w` by `h` pixels and holds no picture.
std::string pngHeaderOnly(std::uint32_t w, std::uint32_t h) {
    auto be = [](std::uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                           static_cast<char>(v)};
    };
    auto crc = [](const std::string& bytes) {
        std::uint32_t c = 0xffffffffu;
        for (unsigned char b : bytes) {
            c ^= b;
            for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xedb88320u & (0u - (c & 1u)));
        }
        return c ^ 0xffffffffu;
    };
    const std::string ihdr = "IHDR" + be(w) + be(h) + std::string("\x08\x02\x00\x00\x00", 5);
    const std::string idat = "IDAT" + std::string(16, '\0'), iend = "IEND";
    return std::string("\x89PNG\r\n\x1a\n", 8) + be(13) + ihdr + be(crc(ihdr)) + be(16) + idat + be(crc(idat)) +
           be(0) + iend + be(crc(iend));
}

TEST_F(SheetPdf, ABackgroundThatCannotBeDrawnIsRefusedAndNothingIsWritten) {
    // Under the leak checker: Qt's PDF module keeps its loader of a file that is no
    // PDF to the end of the process (tests/cli/pdfium.lsan).
    setenv("LSAN_OPTIONS", "suppressions=" NORVEXA_PDF_LSAN, 1);
    const fs::path j = job("j.prn", lines(2));
    const fs::path good = form("good.png", 10, 10);
    const std::string png = slurp(good);
    spit(dir / "cut.png", png.substr(0, png.size() / 2));
    spit(dir / "fake.pdf", "%PDF-1.4\nthis is no PDF at all\n");
    spit(dir / "huge.png", pngHeaderOnly(30000, 30000));
    spit(dir / "text.png", "just some text\n");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {(dir / "missing.png").string(), "nem található"},
        {(dir / "cut.png").string(), "hibás kép"},
        {(dir / "fake.pdf").string(), "PDF"},
        {(dir / "huge.png").string(), "30000 x 30000"},
        {(dir / "text.png").string(), "nem PNG"},
        {good.string() + "|" + (dir / "missing.png").string(), "missing.png"},
    };
    for (const auto& [background, why] : cases) {
        const fs::path out = dir / "out.pdf";
        const nx::test::Result r = run({"--escp", "--background", background, j.string(), "--pdf", out.string()});
        EXPECT_EQ(r.status, 1) << background;
        EXPECT_NE(r.err.find(why), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(out)) << background;
    }
}

}  // namespace

namespace {

// --save-pdf: a batch split into its documents, each a file named by its own text,
// the paths printed; a pattern that does not compile is a bad argument.
TEST_F(SheetPdf, ABatchIsSavedAsOneFileADocumentNamedByItsText) {
    std::string batch = "\x1b@";
    for (const char* number : {"17", "18"})
        batch += std::string("  INVOICE\r\nNo: ") + number + "\r\n\x0c" + "continued " + number + "\r\n\x0c";
    const fs::path j = job("batch.prn", batch), out = dir / "saved";
    fs::create_directory(out);
    const nx::test::Result r = run({"--escp", j.string(), "--save-pdf", out.string(), "--split", "^\\s*INVOICE",
                                    "--name", "inv_{szoveg:No: (\\d+)}_{oldal}", "--pdfa"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, (out / "inv_17_1.pdf").string() + "\n" + (out / "inv_18_3.pdf").string() + "\n");
    for (const char* name : {"inv_17_1.pdf", "inv_18_3.pdf"}) {
        ASSERT_EQ(std::system(("pdfinfo " + quote((out / name).string()) + " > " + quote((dir / "info").string())).c_str()), 0);
        EXPECT_NE(slurp(dir / "info").find("Pages:           2"), std::string::npos) << name;
    }
    EXPECT_EQ(run({"--escp", j.string(), "--save-pdf", out.string(), "--split", "(unclosed"}).status, 2);
}

}  // namespace
