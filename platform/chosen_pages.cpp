#include "platform/chosen_pages.h"

namespace nx {

// A surface on which nothing is drawn; it answers measurements as the inner
// job's surface does, so that the pages not chosen are laid out as they would be.
class ChosenPages::Blank final : public Surface {
public:
    explicit Blank(PrintJob& job) : job_(job) {}
    void setFontFace(std::string_view face) override { m().setFontFace(face); }
    void setFontSize(int points) override { m().setFontSize(points); }
    int fontSize() const override { return m().fontSize(); }
    void setBold(bool bold) override { m().setBold(bold); }
    bool bold() const override { return m().bold(); }
    int textWidth(std::string_view text) override { return m().textWidth(text); }
    int textHeight(std::string_view text) override { return m().textHeight(text); }
    void drawText(int, int, std::string_view) override {}
    void moveTo(int, int) override {}
    void lineTo(int, int) override {}
    void fillRect(int, int, int, int) override {}

private:
    Surface& m() const { return job_.surface(); }
    PrintJob& job_;
};

bool ChosenPages::begin() {
    current_ = 1;
    drawnOne_ = pages_.count(1) != 0;
    return inner_.begin();
}

void ChosenPages::newPage() {
    ++current_;
    if (!pages_.count(current_)) return;
    if (drawnOne_) inner_.newPage();
    drawnOne_ = true;
}

ChosenPages::ChosenPages(PrintJob& inner, std::set<int> pages)
    : inner_(inner), pages_(std::move(pages)), blank_(std::make_unique<Blank>(inner)) {}

ChosenPages::~ChosenPages() = default;

Surface& ChosenPages::surface() {
    if (pages_.count(current_)) return inner_.surface();
    return *blank_;
}

}  // namespace nx
