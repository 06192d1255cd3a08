#include "escp/job.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <map>
#include <vector>

#include "escp/box.h"
#include "platform/cp1250_utf8.h"
#include "platform/open_retry.h"
#include "platform/utf8.h"

namespace nx::escp {
namespace {

// A surface that draws nothing and answers as `metrics` does: the pages of the job
// other than the one shown.
class Blank final : public Surface {
public:
    explicit Blank(Surface& metrics) : m_(metrics) {}
    void setFontFace(std::string_view face) override { m_.setFontFace(face); }
    void setFontSize(int points) override { m_.setFontSize(points); }
    int fontSize() const override { return m_.fontSize(); }
    void setBold(bool bold) override { m_.setBold(bold); }
    bool bold() const override { return m_.bold(); }
    void setItalic(bool italic) override { m_.setItalic(italic); }
    void setFontStretch(int percent) override { m_.setFontStretch(percent); }
    int textWidth(std::string_view text) override { return m_.textWidth(text); }
    int textHeight(std::string_view text) override { return m_.textHeight(text); }
    void drawText(int, int, std::string_view) override {}
    void moveTo(int, int) override {}
    void lineTo(int, int) override {}
    void fillRect(int, int, int, int) override {}

private:
    Surface& m_;
};

// One page of the job on the image, over its background; the others on a blank.
class OnePage final : public PageTarget {
public:
    OnePage(Surface& image, int page, std::string_view background)
        : image_(image), blank_(image), page_(page), background_(background) {
        begin();
    }
    Surface& surface() override { return current_ == page_ ? image_ : blank_; }
    void newPage() override {
        ++current_;
        begin();
    }

private:
    void begin() {
        if (current_ == page_ && !background_.empty()) image_.drawBackground(background_, page_);
    }
    Surface& image_;
    Blank blank_;
    int page_;
    std::string_view background_;
    int current_ = 1;
};

// The sheets of one copy of a print: the chosen pages of the job, each on a page of
// the print job over its background; the others laid out on a blank.
class CopyTarget final : public PageTarget {
public:
    // `pageOpen` says whether the print job has a begun page that no sheet has
    // taken yet (its first); it is kept from copy to copy.
    CopyTarget(PrintJob& job, std::string_view background, const std::set<int>* pages, bool& pageOpen)
        : job_(job), blank_(job.surface()), background_(background), pages_(pages), pageOpen_(pageOpen) {
        begin();
    }
    Surface& surface() override { return chosen() ? job_.surface() : blank_; }
    void newPage() override {
        ++page_;
        begin();
    }

private:
    bool chosen() const { return !pages_ || pages_->count(page_) != 0; }
    void begin() {
        if (!chosen()) return;
        if (!pageOpen_) job_.newPage();
        pageOpen_ = false;
        if (!background_.empty()) job_.surface().drawBackground(background_, page_);
    }
    PrintJob& job_;
    Blank blank_;
    std::string_view background_;
    const std::set<int>* pages_;
    bool& pageOpen_;
    int page_ = 1;
};

// Collects the letters of each page by their place; box cells and images draw
// nothing here. Device units are 1/21600 inch, and a letter's cell follows from
// the size and width the interpreter asks for (cell / 180 points).
class TextPages final : public Surface, public PageTarget {
public:
    void setFontFace(std::string_view) override {}
    void setFontSize(int points) override { points_ = points; }
    int fontSize() const override { return points_; }
    void setBold(bool) override {}
    bool bold() const override { return false; }
    void setFontStretch(int percent) override { stretch_ = percent; }
    int textWidth(std::string_view text) override { return static_cast<int>(codePointCount(text)); }
    int textHeight(std::string_view) override { return 1; }
    void drawText(int x, int y, std::string_view text) override {
        const int cell = std::max(1, points_ * 180 * stretch_ / 100);
        auto& row = page_[y];
        forEachCodePoint(text, [&](char32_t c) {
            row[x] = {c, cell};
            x += cell;
        });
    }
    void moveTo(int, int) override {}
    void lineTo(int, int) override {}
    void fillRect(int, int, int, int) override {}
    Surface& surface() override { return *this; }
    void newPage() override {
        flushPage();
        out_ += '\f';
    }
    std::string finish() {
        flushPage();
        return std::move(out_);
    }

private:
    void flushPage() {
        for (const auto& [y, row] : page_) {
            long long next = 0;  // where the next letter would stand without a gap
            int cell = static_cast<int>(kUnitsPerInch / 10);
            for (const auto& [x, letter] : row) {
                cell = letter.second;
                const long long gap = (static_cast<long long>(x) - next + cell / 2) / cell;
                out_.append(static_cast<std::size_t>(std::max(0LL, std::min(gap, 1000LL))), ' ');
                appendUtf8(out_, letter.first);
                next = static_cast<long long>(x) + cell;
            }
            out_ += '\n';
        }
        page_.clear();
    }
    int points_ = 12;
    int stretch_ = 100;
    std::map<int, std::map<int, std::pair<char32_t, int>>> page_;
    std::string out_;
};

void openJob(ByteFile& file) {
    // Another program may hold the file for a moment; a missing file is not created.
    check(openRetrying(file, kStreamOpen));
}

}  // namespace

std::size_t FileSource::read(std::uint8_t* out, std::size_t max) {
    std::size_t got = 0;
    check(file_.readBlock(out, max, got));
    done_ += static_cast<std::int64_t>(got);
    progress_.setPosition(done_);
    return got;
}

std::size_t MemorySource::read(std::uint8_t* out, std::size_t max) {
    const std::size_t n = std::min(max, bytes_.size());
    if (n > 0) std::memcpy(out, bytes_.data(), n);
    bytes_.remove_prefix(n);
    return n;
}

void printJob(FileSystem& fs, std::string_view dosPath, PrintJob& job, const Options& options,
              const Paper& paper, const Copies& copies, Progress& progress) {
    ByteFile file(fs);
    file.assign(dosPath);
    openJob(file);
    job.setTitle(kPrintJobTitle);
    job.setLandscape(false);
    if (!job.begin()) {
        (void)file.close();  // read only: the refused job is what is reported
        throw IoError(160);
    }
    try {
        std::int64_t size = 0;
        check(file.size(size));
        const std::size_t count = std::max<std::size_t>(1, copies.backgrounds.size());
        bool pageOpen = true;
        for (std::size_t copy = 0; copy < count; ++copy) {
            if (copy > 0) {
                // The next copy reads the job from its start again.
                check(file.close());
                openJob(file);
            }
            progress.setPosition(0);
            progress.setMaximum(size);
            progress.setStep(1);
            FileSource source(file, progress);
            const std::string_view background =
                copies.backgrounds.empty() ? std::string_view() : std::string_view(copies.backgrounds[copy]);
            CopyTarget target(job, background, copies.pages, pageOpen);
            Interpreter(options, paper).run(source, target);
        }
        job.end();
    } catch (...) {
        job.abort();
        (void)file.close();  // read only: the first failure is what is reported
        throw;
    }
    check(file.close());
    progress.setMaximum(100);
    progress.setPosition(0);
}

int renderPage(FileSystem& fs, std::string_view dosPath, int page, Surface& image,
               const Options& options, const Paper& paper, std::string_view background, Progress& progress) {
    ByteFile file(fs);
    file.assign(dosPath);
    openJob(file);
    int pages = 0;
    try {
        std::int64_t size = 0;
        check(file.size(size));
        progress.setPosition(0);
        progress.setMaximum(size);
        image.fillRect(0, 0, paper.deviceWidth(), paper.deviceHeight());
        FileSource source(file, progress);
        OnePage target(image, page, background);
        pages = Interpreter(options, paper).run(source, target);
    } catch (...) {
        (void)file.close();
        throw;
    }
    check(file.close());
    progress.setMaximum(100);
    progress.setPosition(100);
    return pages;
}

namespace {

// The job's letters by their places; returns its page count.
int readText(FileSystem& fs, std::string_view dosPath, const Options& options, Progress& progress,
             TextPages& pages) {
    ByteFile file(fs);
    file.assign(dosPath);
    openJob(file);
    int count = 0;
    try {
        FileSource source(file, progress);
        // Device units of 1/21600 inch: the cells' places are exact.
        Paper paper;
        paper.dpiX = paper.dpiY = static_cast<int>(kUnitsPerInch);
        // Read at the job page's own size, however long: never fitted.
        paper.printableHeight = std::numeric_limits<std::int64_t>::max() / 4;
        paper.printableWidth = kCarriage;
        count = Interpreter(options, paper).run(source, pages);
    } catch (...) {
        (void)file.close();
        throw;
    }
    check(file.close());
    return count;
}

}  // namespace

std::string textOf(FileSystem& fs, std::string_view dosPath, const Options& options,
                   Progress& progress) {
    TextPages pages;
    readText(fs, dosPath, options, progress, pages);
    return pages.finish();
}

std::string exportText(FileSystem& fs, std::string_view dosPath, const Options& options,
                       Progress& progress) {
    const std::string cp1250 = utf8ToCp1250(textOf(fs, dosPath, options, progress));
    std::string out;
    out.reserve(cp1250.size() + cp1250.size() / 16);
    for (char c : cp1250) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

int pageCount(FileSystem& fs, std::string_view dosPath, const Options& options, Progress& progress) {
    TextPages pages;
    return readText(fs, dosPath, options, progress, pages);
}

}  // namespace nx::escp
