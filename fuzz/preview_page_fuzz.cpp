// The preview page: one page of a print stream rendered onto the recording surface.
//
// Input: an option byte (bits 0-2 the settings profile, bit 4 the file missing,
// bit 5 the comparison with the printer output below),
// the check box pattern (see checkBoxPattern), a fault byte pair (see OneFault),
// the page number byte (signed; 0x7F stands for the largest page number), then
// the stream, written to the working copy. Checks that the page's text bytes are
// drawn once and in order, the clearing, the progress end state, that a page
// beyond the form feeds is blank, that a missing file is created empty, and, for
// a stream without form feeds and without lines beyond the preview's 255 bytes,
// that page 1 draws exactly what the printer output draws from the same origin
// (when option bit 5 asks for it: the second rendering doubles the run's time, and
// the fuzzer keeps inputs of both kinds).
#include <cstdint>
#include <limits>
#include <string>

#include "fuzz/fuzz_support.h"
#include "fuzz/render_options.h"
#include "intake/paths.h"
#include "render/preview_page.h"
#include "render/printer_output.h"
#include "tests/support/recording.h"

namespace {

using nx::fuzz::expect;
using Kind = nx::test::RecordingSurface::Kind;

constexpr std::string_view kStream = nx::paths::kWorkingCopy;
constexpr int kWidth = 640;
constexpr int kHeight = 1398;

int pageNumber(std::uint8_t b) {
    if (b == 0x7F) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int8_t>(b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto& drive = nx::fuzz::FuzzDrive::instance();
    nx::fuzz::InputReader in(data, size);
    const std::uint8_t options = in.byte();
    const std::uint8_t pattern = in.byte();
    nx::fuzz::OneFault fault(in.byte(), in.byte());
    const int page = pageNumber(in.byte());
    const nx::Settings settings = nx::fuzz::settingsProfile(options & 7);
    const bool missing = (options & 16) != 0;
    const std::uint8_t* stream = in.rest();
    const std::size_t streamSize = missing ? 0 : in.restSize();

    if (missing)
        drive.remove(kStream);
    else
        drive.write(kStream, stream, streamSize);

    nx::test::RecordingSurface image;
    image.recordMeasurements = false;  // only the drawing is checked
    static std::vector<nx::test::RecordingSurface::Op> imagePool;
    const nx::fuzz::ReusedCalls reuseImage(image, imagePool);
    nx::test::RecordingProgress progress;
    nx::RenderContext ctx{drive.fs(), settings, nx::fuzz::checkBoxPattern(pattern), progress};
    bool raised = false;
    int readFailure = 0;
    {
        nx::test::ScopedFaultHook scope(drive.fs(), fault);
        try {
            readFailure = nx::renderPreviewPage(ctx, kStream, page, image, kWidth, kHeight);
        } catch (const nx::IoError&) {
            raised = true;
        }
    }
    expect(!raised || fault.fired(), "rendering raised without a fault");
    expect(readFailure == 0 || fault.fired(), "a read failed without a fault");

    // The stream file is closed again.
    {
        nx::ByteFile probe(drive.fs());
        probe.assign(kStream);
        const int rc = probe.reset();
        expect(rc == 0 || (raised && missing), "stream file not there or held");
        if (rc == 0) expect(probe.close() == 0, "close of the probe");
    }
    // The page's text bytes are drawn once, in order; a failure may only cut them short.
    const std::string text = nx::fuzz::previewTextOf(stream, streamSize, page);
    const std::string drawn = nx::fuzz::drawnTextOf(image);
    expect(nx::fuzz::isPrefix(drawn, text), "drawn text is not the page's text");

    if (fault.fired()) return 0;

    expect(drawn == text, "page text lost", std::to_string(drawn.size()) + " of " +
                                                std::to_string(text.size()));

    const auto fills = image.ofKind(Kind::Fill);
    expect(fills.size() == 1 && fills[0].x == 0 && fills[0].y == 0 && fills[0].x2 == kWidth &&
               fills[0].y2 == kHeight,
           "image not cleared once, whole");
    expect(image.ops.front().kind != Kind::Text && image.ops.front().kind != Kind::Line,
           "drawing before the clearing");
    expect(progress.maximum == 100 && progress.position == 100, "progress end state");
    if (missing) expect(drive.exists(kStream) && drive.read(kStream).empty(), "missing file");

    const int formFeeds = nx::fuzz::formFeedsOf(stream, streamSize);
    if (page > 1 && page - 1 > formFeeds) {
        expect(image.texts().empty() && image.lines().empty(), "page beyond the end not blank");
    }

    // Without form feeds and long lines, page 1 is what the printer draws.
    const bool compare = (options & 32) != 0;
    if (compare && page <= 1 && formFeeds == 0 && nx::fuzz::longestLineOf(stream, streamSize) <= 255) {
        nx::Settings atPreviewOrigin = settings;
        atPreviewOrigin.leftMargin = 8;
        atPreviewOrigin.topMargin = 8;
        nx::test::RecordingPrintJob job;
        job.page.recordMeasurements = false;
        static std::vector<nx::test::RecordingSurface::Op> jobPool;
        const nx::fuzz::ReusedCalls reuseJob(job.page, jobPool);
        nx::test::RecordingProgress printProgress;
        nx::RenderContext printCtx{drive.fs(), atPreviewOrigin,
                                   nx::fuzz::checkBoxPattern(pattern), printProgress};
        nx::printStream(printCtx, kStream, job, false);
        // The preview's first drawing call is the image's clearing.
        expect(nx::test::RecordingSurface::sameDrawing(image, 1, job.page),
               "preview and printer draw differently");
        const auto printed = job.page.texts();
        const auto shown = image.texts();
        expect(printed.size() == shown.size(), "text runs differ");
        for (std::size_t i = 0; i < printed.size(); ++i)
            expect(printed[i].size == shown[i].size && printed[i].bold == shown[i].bold,
                   "text run drawn in another font", std::to_string(i));
    }
    return 0;
}
