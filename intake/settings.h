// The settings record (28 bytes, the same in memory and in "C:\NORVEXA\CONFIG.DTA")
// and the presence marker "C:\NORVEXA\NORVEXA.AKT".
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace nx {

struct Settings {
    std::int32_t condensed = 6;
    std::int32_t normal = 11;
    std::int32_t elite = 9;
    std::int32_t dbl = 22;
    std::int32_t leftMargin = 0;
    std::int32_t topMargin = 0;
    std::uint8_t variableLineHeight = 0;
    std::array<std::uint8_t, 3> reserved{};

    static constexpr std::size_t kRecordSize = 28;
    std::array<std::uint8_t, kRecordSize> encode() const;
    static Settings decode(const std::array<std::uint8_t, kRecordSize>& record);
};

// Reports a failure that the sequence goes on after (the message as raised, without
// the closing full stop; the error box adds it).
using ReportFn = std::function<void(const std::string& message)>;

// The texts of the main window's six boxes and its check box, as saving reads them.
struct SettingsBoxes {
    std::string normal;     // Edit1
    std::string elite;      // Edit2
    std::string condensed;  // Edit3
    std::string dbl;        // Edit4
    std::string leftMargin; // MaskEdit1
    std::string topMargin;  // MaskEdit2
    bool variableLineHeight = false;  // ValtozoSormagassag
};

// Reads the settings record from `file`, open (reset) with record size 28, and
// closes it. The bytes present replace the start of `settings`' record, also when
// the file is too short for a whole record (then the read's code, 100, is returned).
ResultCode readSettingsRecord(ByteFile& file, Settings& settings);

// Opens the settings file at `path` and reads it as readSettingsRecord does.
ResultCode readSettingsFile(FileSystem& fs, std::string_view path, Settings& settings);

// Loading (the main window's creation): defaults, then the settings file (created
// with the defaults when missing), then the presence marker. Failures are reported
// and the sequence goes on as far as it sensibly can.
void loadSettings(FileSystem& fs, Settings& settings, const ReportFn& report);

// Saving (the main window's destruction): the boxes into the record (a box that is
// not an integer keeps its field and is reported), the file written anew, the
// presence marker deleted.
void saveSettings(FileSystem& fs, Settings& settings, const SettingsBoxes& boxes,
                  const ReportFn& report);

}  // namespace nx
