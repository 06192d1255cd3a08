// The settings record, its file and the presence marker.
#include "intake/settings.h"

#include <chrono>

#include "intake/intconv.h"
#include "intake/paths.h"
#include "platform/open_retry.h"

namespace nx {

namespace {

// A settings open that keeps failing (other than "file not found") is tried again
// for about a second; a missing file is created, at most three times, and one
// still missing then is reported at once.
constexpr OpenRetry kSettingsOpen{std::chrono::milliseconds(1000), std::chrono::milliseconds(20),
                                  3, false};

void putInt(std::uint8_t* at, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(u >> (8 * i));
}

std::int32_t getInt(const std::uint8_t* at) {
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<std::uint32_t>(at[i]) << (8 * i);
    return static_cast<std::int32_t>(u);
}

// Writes the presence marker: one line "1.04". Checked; a failure is reported.
void writeMarker(FileSystem& fs, const ReportFn& report) {
    try {
        TextFile marker(fs);
        marker.assign(paths::kPresenceMarker);
        check(marker.rewrite());
        check(marker.writeLine(paths::kPresenceText));
        check(marker.close());
    } catch (const IoError& e) {
        report(e.what());
    }
}

// Creates the settings file holding `record`, all three steps checked.
void createSettingsFile(ByteFile& file, const std::array<std::uint8_t, Settings::kRecordSize>& record) {
    check(file.rewrite());
    check(file.writeRecord(record.data()));
    check(file.close());
}

// Writes `record` over the start of the settings file and cuts the file after it,
// so the file holds exactly one record, as if created anew. Overwriting in place
// rather than emptying first means a write that fails (a full disk) leaves the
// previous settings instead of an empty file. A missing file is created.
void rewriteSettingsFile(ByteFile& file, const std::array<std::uint8_t, Settings::kRecordSize>& record) {
    int rc = file.reset();
    if (rc == kFileNotFound) rc = file.rewrite();
    check(rc);
    check(file.writeRecord(record.data()));
    check(file.truncate());
    check(file.close());
}

}  // namespace

std::array<std::uint8_t, Settings::kRecordSize> Settings::encode() const {
    std::array<std::uint8_t, kRecordSize> r{};
    putInt(&r[0], condensed);
    putInt(&r[4], normal);
    putInt(&r[8], elite);
    putInt(&r[12], dbl);
    putInt(&r[16], leftMargin);
    putInt(&r[20], topMargin);
    r[24] = variableLineHeight;
    r[25] = reserved[0];
    r[26] = reserved[1];
    r[27] = reserved[2];
    return r;
}

Settings Settings::decode(const std::array<std::uint8_t, kRecordSize>& r) {
    Settings s;
    s.condensed = getInt(&r[0]);
    s.normal = getInt(&r[4]);
    s.elite = getInt(&r[8]);
    s.dbl = getInt(&r[12]);
    s.leftMargin = getInt(&r[16]);
    s.topMargin = getInt(&r[20]);
    s.variableLineHeight = r[24];
    s.reserved = {r[25], r[26], r[27]};
    return s;
}

ResultCode readSettingsRecord(ByteFile& file, Settings& settings) {
    auto record = settings.encode();
    const ResultCode readRc = file.readRecord(record.data());
    settings = Settings::decode(record);
    if (readRc != kOk) {
        (void)file.close();  // the read's code is the one reported
        return readRc;
    }
    return file.close();
}

ResultCode readSettingsFile(FileSystem& fs, std::string_view path, Settings& settings) {
    ByteFile file(fs, Settings::kRecordSize);
    file.assign(path);
    if (const ResultCode rc = file.reset()) return rc;
    return readSettingsRecord(file, settings);
}

void loadSettings(FileSystem& fs, Settings& settings, const ReportFn& report) {
    settings = Settings{};
    ByteFile file(fs, Settings::kRecordSize);
    file.assign(paths::kSettingsFile);

    // Whatever goes wrong with the settings file, the service is running: the
    // failure is reported, the defaults (or what could be read) stay, and the
    // marker is written all the same.
    try {
        check(openRetrying(file, kSettingsOpen,
                           [&] { createSettingsFile(file, settings.encode()); }));

        check(readSettingsRecord(file, settings));
    } catch (const IoError& e) {
        report(e.what());
    }

    writeMarker(fs, report);
}

void saveSettings(FileSystem& fs, Settings& settings, const SettingsBoxes& boxes,
                  const ReportFn& report) {
    // A box that does not hold an integer keeps its field; the others are saved.
    const std::pair<const std::string*, std::int32_t*> fields[] = {
        {&boxes.normal, &settings.normal},         {&boxes.elite, &settings.elite},
        {&boxes.condensed, &settings.condensed},   {&boxes.dbl, &settings.dbl},
        {&boxes.leftMargin, &settings.leftMargin}, {&boxes.topMargin, &settings.topMargin},
    };
    for (const auto& [text, field] : fields) {
        try {
            *field = textToInteger(*text);
        } catch (const ConvertError& e) {
            report(e.what());
        }
    }
    settings.variableLineHeight = boxes.variableLineHeight ? 1 : 0;

    try {
        ByteFile file(fs, Settings::kRecordSize);
        file.assign(paths::kSettingsFile);
        rewriteSettingsFile(file, settings.encode());
    } catch (const IoError& e) {
        report(e.what());
    }

    // The marker says that a service is running; this one is ending, so it goes
    // whether or not the settings could be written.
    if (const int rc = fs.erase(paths::kPresenceMarker)) report(IoError(rc).what());
}

}  // namespace nx
