// The settings load with the input as "C:\NORVEXA\CONFIG.DTA".
//
// Input: a fault byte pair (see OneFault), then the file's bytes; a byte pair
// alone (no file bytes) means the file does not exist. Without a fault the loaded
// record must be the file's first 28 bytes (the defaults filling a short file's
// tail), a short file must be reported as "Read beyond end of file", a missing one
// created with the defaults, and the presence marker written in every case.
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "intake/paths.h"
#include "intake/settings.h"

namespace {

using nx::fuzz::expect;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto& drive = nx::fuzz::FuzzDrive::instance();
    nx::fuzz::InputReader in(data, size);
    nx::fuzz::OneFault fault(in.byte(), in.byte());

    const bool missing = in.restSize() == 0;
    drive.remove(nx::paths::kPresenceMarker);
    if (missing)
        drive.remove(nx::paths::kSettingsFile);
    else
        drive.write(nx::paths::kSettingsFile, in.rest(), in.restSize());

    // The record the load has to end with, when nothing fails.
    const auto defaults = nx::Settings{}.encode();
    auto expected = defaults;
    if (!missing)
        std::memcpy(expected.data(), in.rest(),
                    std::min(in.restSize(), nx::Settings::kRecordSize));

    nx::Settings settings;
    settings.normal = -77;  // the load must set the defaults itself
    std::vector<std::string> reports;
    {
        nx::test::ScopedFaultHook scope(drive.fs(), fault);
        try {
            nx::loadSettings(drive.fs(), settings,
                             [&](const std::string& message) { reports.push_back(message); });
        } catch (const nx::IoError&) {
            // A failure the load lets escape: allowed only when a fault was injected.
            expect(fault.fired(), "load raised without a fault");
        }
    }

    // The record always round-trips through its 28 bytes.
    const auto record = settings.encode();
    expect(nx::Settings::decode(record).encode() == record, "record does not round-trip");

    if (fault.fired()) return 0;

    expect(record == expected, "loaded record differs from the file");
    const std::string file = drive.read(nx::paths::kSettingsFile);
    if (missing) {
        expect(file == std::string(defaults.begin(), defaults.end()), "missing file not created");
        expect(reports.empty(), "missing file reported");
    } else {
        expect(file.size() == in.restSize(), "load changed the file's length");
        if (in.restSize() < nx::Settings::kRecordSize) {
            expect(reports.size() == 1 && reports[0] == "Read beyond end of file",
                   "short file not reported once");
        } else {
            expect(reports.empty(), "full record reported", reports.empty() ? "" : reports[0]);
        }
    }
    expect(drive.read(nx::paths::kPresenceMarker) == "1.04\r\n", "presence marker");
    return 0;
}
