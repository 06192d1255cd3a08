// The printer output: a print stream printed onto the recording print job.
//
// Input: an option byte (bits 0-2 the settings profile, bit 3 landscape, bit 4 a
// printer that refuses to begin the job), the check box pattern (see
// checkBoxPattern), a fault byte pair (see OneFault), then the stream, written to
// the working copy. Checks that every text byte is drawn
// once and in order, the job's frame (title, orientation before begin, one end
// or, after an input/output error, one abort), the number of pages the form feeds
// make, the progress end state and that the file is left closed.
#include <algorithm>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "fuzz/render_options.h"
#include "intake/paths.h"
#include "render/printer_output.h"
#include "tests/support/recording.h"

namespace {

using nx::fuzz::expect;

constexpr std::string_view kStream = nx::paths::kWorkingCopy;

int count(const std::vector<std::string>& log, const std::string& entry) {
    return static_cast<int>(std::count(log.begin(), log.end(), entry));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto& drive = nx::fuzz::FuzzDrive::instance();
    nx::fuzz::InputReader in(data, size);
    const std::uint8_t options = in.byte();
    const std::uint8_t pattern = in.byte();
    nx::fuzz::OneFault fault(in.byte(), in.byte());
    const nx::Settings settings = nx::fuzz::settingsProfile(options & 7);
    const bool landscape = (options & 8) != 0;

    drive.write(kStream, in.rest(), in.restSize());

    nx::test::RecordingPrintJob job;
    job.page.recordMeasurements = false;  // only the drawing is checked
    static std::vector<nx::test::RecordingSurface::Op> pool;
    const nx::fuzz::ReusedCalls reuse(job.page, pool);
    const bool refused = (options & 16) != 0;
    job.beginResult = !refused;
    nx::test::RecordingProgress progress;
    nx::RenderContext ctx{drive.fs(), settings, nx::fuzz::checkBoxPattern(pattern), progress};
    bool raised = false;
    {
        nx::test::ScopedFaultHook scope(drive.fs(), fault);
        try {
            nx::printStream(ctx, kStream, job, landscape);
        } catch (const nx::IoError&) {
            raised = true;
        }
    }
    expect(!raised || fault.fired() || refused, "printing raised without a fault");

    // The stream file is closed again: it can be deleted and rewritten at once.
    {
        nx::ByteFile probe(drive.fs());
        probe.assign(kStream);
        expect(probe.rewrite() == 0 && probe.close() == 0, "stream file left held");
    }

    const auto& log = job.log;
    if (refused && count(log, "begin") == 1) {
        // Nothing can be printed: the error reaches the caller, which keeps the job.
        expect(raised && log.back() == "begin", "a refused job went on");
        expect(job.page.ops.empty(), "drawn on a job that never began");
        return 0;
    }

    expect(count(log, "surface outside job") == 0, "surface used outside the job");
    expect(count(log, "begin") <= 1, "job begun twice");
    if (count(log, "begin") == 1) {
        const auto begin = std::find(log.begin(), log.end(), "begin");
        expect(std::find(log.begin(), begin, "title " + nx::test::hexBytes(nx::kPrintJobTitle)) !=
                   begin,
               "title not set before begin");
        expect(std::find(log.begin(), begin,
                         std::string("landscape ") + (landscape ? "1" : "0")) != begin,
               "orientation not set before begin");
        // A begun job ends exactly once: ended when it ran through, abandoned
        // when an input/output error stopped it.
        expect(count(log, "end") + count(log, "abort") == 1, "job neither ended nor abandoned once");
        // An error stops the job before its end and abandons it; only the file's
        // close comes after a completed job.
        expect(count(log, "abort") == 0 || raised, "job abandoned without an error");
        expect(!raised || count(log, "abort") == 1 || fault.op() == nx::FileOp::Close,
               "job completed, yet an error other than the close's raised");
        const std::string& last = log.back();
        expect(last == "end" || last == "abort", "job calls after its end");
    } else {
        expect(raised, "job not begun, yet no error");
    }


    // Every text byte is drawn once, in order; a failure may only cut it short.
    const std::string text = nx::fuzz::printedTextOf(in.rest(), in.restSize());
    const std::string drawn = nx::fuzz::drawnTextOf(job.page);
    expect(nx::fuzz::isPrefix(drawn, text), "drawn text is not the stream's text");

    if (fault.fired()) return 0;

    expect(drawn == text, "text lost", std::to_string(drawn.size()) + " of " +
                                           std::to_string(text.size()));

    expect(job.ended && !job.aborted, "job not ended");
    expect(job.pages == 1 + nx::fuzz::newPagesOf(in.rest(), in.restSize()),
           "pages differ from the form-feed rule", std::to_string(job.pages));
    expect(progress.maximum == 100 && progress.position == 0, "progress end state");
    return 0;
}
