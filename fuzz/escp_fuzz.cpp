// The ESC/P interpreter: a job from memory onto the recording surface.
//
// Input: an option byte (bit 0 the 9-pin family, bits 1-2 the code page 437, 850 or
// 852), then the job. Checks that every drawing call lies on the paper (or within a
// cell of its edges), that ink areas and lines are well formed, that a job's page
// count is at least one and no more than its form feeds and page ends allow, and
// that the run ends (libFuzzer's time limit catches a loop).
#include <algorithm>
#include <cstdint>
#include <string_view>

#include "escp/interpreter.h"
#include "escp/job.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/recording.h"

namespace {

using nx::fuzz::expect;
using Kind = nx::test::RecordingSurface::Kind;

class Pages final : public nx::escp::PageTarget {
public:
    nx::test::RecordingSurface page;
    nx::Surface& surface() override { return page; }
    void newPage() override { ++page.page; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    nx::fuzz::InputReader in(data, size);
    const std::uint8_t options = in.byte();
    nx::escp::Options o;
    o.pins = (options & 1) ? nx::escp::Pins::Nine : nx::escp::Pins::TwentyFour;
    const int pages[] = {437, 850, 852, 437};
    o.codePage = *nx::escp::codePageOf(pages[(options >> 1) & 3]);
    // A coarse device keeps the drawing small: 60 dpi.
    const nx::escp::Paper paper = nx::escp::Paper::a4(60, 60);

    Pages target;
    target.page.recordMeasurements = false;
    static std::vector<nx::test::RecordingSurface::Op> pool;
    const nx::fuzz::ReusedCalls reuse(target.page, pool);
    nx::escp::MemorySource source(
        std::string_view(reinterpret_cast<const char*>(in.rest()), in.restSize()));
    const int count = nx::escp::Interpreter(o, paper).run(source, target);

    expect(count >= 1, "no page");
    expect(count == target.page.page + 1, "pages counted and begun differ");
    const std::size_t formFeeds =
        static_cast<std::size_t>(std::count(in.rest(), in.rest() + in.restSize(), 0x0C));
    // Every page but the first is begun by a form feed or by a line past a page's end
    // (at most one a byte).
    if (static_cast<std::size_t>(count) > in.restSize() + 1)
        nx::fuzz::fail("more pages than bytes",
                       std::to_string(count) + " for " + std::to_string(formFeeds) + " form feeds");

    // Margins keep positions on the paper; a cell (at most two inches wide or high,
    // double width or height of the widest pitch) may reach past its edge.
    const int w = paper.deviceWidth(), h = paper.deviceHeight(), slack = 2 * 60;
    for (const auto& op : target.page.ops) {
        if (op.kind != Kind::Text && op.kind != Kind::Line && op.kind != Kind::Ink) continue;
        if (op.x < -slack || op.x > w + slack || op.y < -slack || op.y > h + slack)
            nx::fuzz::fail("drawn off the paper", std::to_string(op.x) + "," + std::to_string(op.y));
        if (op.kind == Kind::Ink)
            expect(op.x2 > op.x && op.y2 > op.y && op.x2 <= w + slack, "ink area not well formed");
        if (op.kind == Kind::Text) expect(!op.text.empty(), "empty text drawn");
    }
    return 0;
}
