// The plain-text line copy of the exports.
//
// Input: a fault byte pair (see OneFault), then a print stream written to the
// working copy. Without a fault the target must be the source's lines, each with
// CR LF, space codes as spaces, form feeds kept and every other byte below 32
// dropped. With a fault the copy may stop with IoError, but a later export to
// the same target must work (nothing left open or locked).
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "intake/paths.h"
#include "render/text_export.h"

namespace {

using nx::fuzz::expect;

constexpr std::string_view kSource = nx::paths::kWorkingCopy;
constexpr std::string_view kTarget = nx::paths::kDefaultExport;

// The export of a whole source, written straight from the line rules.
std::string expectedExport(const std::uint8_t* data, std::size_t size) {
    std::string out;
    std::size_t start = 0;
    while (start < size) {
        std::size_t end = start;
        while (end < size && data[end] != '\n') ++end;
        std::size_t lineEnd = end;
        if (end < size && lineEnd > start && data[lineEnd - 1] == '\r') --lineEnd;
        for (std::size_t i = start; i < lineEnd; ++i) {
            const std::uint8_t b = data[i];
            if (b == 11)
                out += ' ';
            else if (b == 12 || b >= 32)
                out += static_cast<char>(b);
        }
        out += "\r\n";
        start = end < size ? end + 1 : end;
    }
    return out;
}

// One export as the preview's buttons run it; true when it ran through.
bool exportOnce(nx::FileSystem& fs, nx::TextFile& source) {
    nx::TextFile target(fs);
    target.assign(kTarget);
    if (target.rewrite() != 0) return false;
    try {
        nx::copyLines(source, target);
    } catch (const nx::IoError&) {
        return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto& drive = nx::fuzz::FuzzDrive::instance();
    nx::fuzz::InputReader in(data, size);
    nx::fuzz::OneFault fault(in.byte(), in.byte());

    drive.write(kSource, in.rest(), in.restSize());
    const std::string expected = expectedExport(in.rest(), in.restSize());

    nx::TextFile source(drive.fs());
    source.assign(kSource);
    bool done;
    {
        nx::test::ScopedFaultHook scope(drive.fs(), fault);
        done = exportOnce(drive.fs(), source);
    }
    // Every step of the copy is checked: a failure must not pass as success.
    expect(done != fault.fired(), done ? "injected failure passed as success"
                                       : "export failed without a fault");
    if (!done) {
        // The next export of the same job, to the same target, must work whole.
        expect(exportOnce(drive.fs(), source), "export after a failed one failed");
    }
    expect(!source.isOpen(), "source left open");
    const std::string got = drive.read(kTarget);
    expect(got == expected, "export differs from the line rules",
               std::to_string(got.size()) + " vs " + std::to_string(expected.size()));
    return 0;
}
