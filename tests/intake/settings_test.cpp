#include "intake/settings.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "intake/paths.h"
#include "tests/support/temp_drive.h"

namespace nx {
namespace {

using test::TempDrive;

const std::string kFirstRun("\x06\0\0\0\x0B\0\0\0\x09\0\0\0\x16\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 28);

struct Reports {
    std::vector<std::string> messages;
    ReportFn fn() {
        return [this](const std::string& m) { messages.push_back(m); };
    }
};

SettingsBoxes boxesOf(const Settings& s) {
    return {std::to_string(s.normal),     std::to_string(s.elite),
            std::to_string(s.condensed),  std::to_string(s.dbl),
            std::to_string(s.leftMargin), std::to_string(s.topMargin),
            s.variableLineHeight != 0};
}

TEST(SettingsRecord, EncodeDecodeLittleEndian) {
    Settings s;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.encode().data()), 28), kFirstRun);
    s.condensed = -2;
    s.leftMargin = 0x01020304;
    s.variableLineHeight = 7;
    s.reserved = {0xAA, 0xBB, 0xCC};
    const auto r = s.encode();
    EXPECT_EQ(r[0], 0xFE);
    EXPECT_EQ(r[3], 0xFF);
    EXPECT_EQ(r[16], 0x04);
    EXPECT_EQ(r[19], 0x01);
    EXPECT_EQ(r[24], 7);
    EXPECT_EQ(r[27], 0xCC);
    const Settings back = Settings::decode(r);
    EXPECT_EQ(back.condensed, -2);
    EXPECT_EQ(back.leftMargin, 0x01020304);
    EXPECT_EQ(back.variableLineHeight, 7);
    EXPECT_EQ(back.reserved[1], 0xBB);
    EXPECT_EQ(back.encode(), r);
}

TEST(LoadSettings, FirstRunCreatesDefaultsAndMarker) {
    TempDrive d;
    Settings s;
    s.normal = 99;
    Reports rep;
    loadSettings(d.fs(), s, rep.fn());
    EXPECT_TRUE(rep.messages.empty());
    EXPECT_EQ(d.read(paths::kSettingsFile), kFirstRun);
    EXPECT_EQ(d.read(paths::kPresenceMarker), "1.04\r\n");
    EXPECT_EQ(s.condensed, 6);
    EXPECT_EQ(s.normal, 11);
    EXPECT_EQ(s.elite, 9);
    EXPECT_EQ(s.dbl, 22);
    EXPECT_EQ(s.leftMargin, 0);
    EXPECT_EQ(s.topMargin, 0);
    // Existing names are matched whatever their case: no second file appears.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(d.root() / "norvexa"),
                            std::filesystem::directory_iterator()),
              2);
}

TEST(LoadSettings, LongFileReadFromItsStartAndCutOnSave) {
    TempDrive d;
    Settings src;
    src.normal = -12;
    src.topMargin = 0x7FFFFFFF;
    src.variableLineHeight = 2;
    src.reserved = {1, 2, 3};
    const auto rec = src.encode();
    std::string bytes(reinterpret_cast<const char*>(rec.data()), 28);
    bytes += std::string(12, 'Z');
    d.write("c:\\norvexa\\config.dta", bytes);

    Settings s;
    Reports rep;
    loadSettings(d.fs(), s, rep.fn());
    EXPECT_TRUE(rep.messages.empty());
    EXPECT_EQ(s.normal, -12);
    EXPECT_EQ(s.topMargin, 0x7FFFFFFF);
    EXPECT_EQ(s.variableLineHeight, 2);

    saveSettings(d.fs(), s, boxesOf(s), rep.fn());
    EXPECT_TRUE(rep.messages.empty());
    const std::string after = d.read("c:\\norvexa\\config.dta");
    ASSERT_EQ(after.size(), 28u);
    // Any non-zero flag saves as 1; reserved bytes go back as they were read.
    EXPECT_EQ(after[24], 1);
    EXPECT_EQ(after.substr(25), std::string("\x01\x02\x03", 3));
    EXPECT_EQ(after.substr(0, 24), bytes.substr(0, 24));
    EXPECT_FALSE(d.exists(paths::kPresenceMarker));
}

TEST(LoadSettings, ShortFileKeepsDefaultsForTheRestAndStillWritesMarker) {
    TempDrive d;
    d.write(paths::kSettingsFile, std::string("\x05\0\0\0\x0C\0", 6));
    Settings s;
    Reports rep;
    loadSettings(d.fs(), s, rep.fn());
    ASSERT_EQ(rep.messages.size(), 1u);
    EXPECT_EQ(rep.messages[0], "Read beyond end of file");
    EXPECT_EQ(s.condensed, 5);
    EXPECT_EQ(s.normal, 12);  // low half from the file, high half from the default (0)
    EXPECT_EQ(s.elite, 9);
    EXPECT_EQ(s.dbl, 22);
    EXPECT_EQ(d.read(paths::kPresenceMarker), "1.04\r\n");
    // The file is closed again: saving can rewrite it.
    saveSettings(d.fs(), s, boxesOf(s), rep.fn());
    EXPECT_EQ(d.read(paths::kSettingsFile).size(), 28u);
}

TEST(LoadSettings, PersistentOpenFailureIsBoundedReportedAndGoesOnWithDefaults) {
    TempDrive d;
    d.write(paths::kSettingsFile, std::string(28, '\x01'));
    std::filesystem::permissions(d.host(paths::kSettingsFile), std::filesystem::perms(0444));  // read-only: write access refused
    Settings s;
    s.elite = 1234;
    Reports rep;
    const auto t0 = std::chrono::steady_clock::now();
    loadSettings(d.fs(), s, rep.fn());
    const auto took = std::chrono::steady_clock::now() - t0;
    EXPECT_LT(took, std::chrono::seconds(5));
    EXPECT_GE(took, std::chrono::milliseconds(500));
    ASSERT_EQ(rep.messages.size(), 1u);
    EXPECT_EQ(rep.messages[0], "File access denied");
    EXPECT_EQ(s.elite, 9);
    EXPECT_EQ(d.read(paths::kPresenceMarker), "1.04\r\n");
    EXPECT_EQ(d.read(paths::kSettingsFile), std::string(28, '\x01'));
}

TEST(LoadSettings, MissingServiceDirectoryReportsAndRunsOnWithoutMarker) {
    TempDrive d(false);
    Settings s;
    Reports rep;
    loadSettings(d.fs(), s, rep.fn());
    ASSERT_EQ(rep.messages.size(), 2u);
    EXPECT_EQ(rep.messages[0], "Invalid filename");  // the open: a directory is missing
    EXPECT_EQ(rep.messages[1], "Invalid filename");  // the marker cannot be created
    EXPECT_EQ(s.normal, 11);
    EXPECT_FALSE(std::filesystem::exists(d.root() / "norvexa"));  // never created
}

TEST(SaveSettings, BoxesGoToTheirFieldsAndMarkerIsDeleted) {
    TempDrive d;
    Settings s;
    Reports rep;
    loadSettings(d.fs(), s, rep.fn());
    ASSERT_TRUE(d.exists(paths::kPresenceMarker));
    SettingsBoxes b{"12", "  $A", "-3", "0x20", "-100", "7", true};
    saveSettings(d.fs(), s, b, rep.fn());
    EXPECT_TRUE(rep.messages.empty());
    EXPECT_EQ(s.normal, 12);
    EXPECT_EQ(s.elite, 10);
    EXPECT_EQ(s.condensed, -3);
    EXPECT_EQ(s.dbl, 32);
    EXPECT_EQ(s.leftMargin, -100);
    EXPECT_EQ(s.topMargin, 7);
    const std::string f = d.read(paths::kSettingsFile);
    ASSERT_EQ(f.size(), 28u);
    const auto rec = s.encode();
    EXPECT_EQ(f, std::string(reinterpret_cast<const char*>(rec.data()), 28));
    EXPECT_EQ(f[24], 1);
    EXPECT_FALSE(d.exists(paths::kPresenceMarker));

    // The marker already gone: reported, the settings are saved all the same.
    b.normal = "13";
    saveSettings(d.fs(), s, b, rep.fn());
    ASSERT_EQ(rep.messages.size(), 1u);
    EXPECT_EQ(rep.messages[0], "File not found");
    EXPECT_EQ(static_cast<unsigned char>(d.read(paths::kSettingsFile)[4]), 13);
}

TEST(SaveSettings, BadBoxKeepsItsFieldAndTheRestIsSaved) {
    TempDrive d;
    Settings s;
    Reports rep;
    loadSettings(d.fs(), s, rep.fn());
    SettingsBoxes b{"14", "12 ", "5", "", "3", "4", false};
    saveSettings(d.fs(), s, b, rep.fn());
    ASSERT_EQ(rep.messages.size(), 2u);
    EXPECT_EQ(rep.messages[0], "'12 ' is not a valid integer value");
    EXPECT_EQ(rep.messages[1], "'' is not a valid integer value");
    EXPECT_EQ(s.normal, 14);
    EXPECT_EQ(s.elite, 9);   // kept
    EXPECT_EQ(s.condensed, 5);
    EXPECT_EQ(s.dbl, 22);    // kept
    EXPECT_EQ(s.topMargin, 4);
    const Settings saved = [&] {
        const std::string f = d.read(paths::kSettingsFile);
        std::array<std::uint8_t, 28> r{};
        std::copy(f.begin(), f.end(), r.begin());
        return Settings::decode(r);
    }();
    EXPECT_EQ(saved.normal, 14);
    EXPECT_EQ(saved.elite, 9);
    EXPECT_EQ(saved.topMargin, 4);
    EXPECT_FALSE(d.exists(paths::kPresenceMarker));
}

TEST(SaveSettings, UnwritableFileIsReportedAndMarkerStillGoes) {
    TempDrive d;
    Settings s;
    Reports rep;
    loadSettings(d.fs(), s, rep.fn());
    std::filesystem::permissions(d.host(paths::kSettingsFile), std::filesystem::perms(0444));
    saveSettings(d.fs(), s, boxesOf(s), rep.fn());
    ASSERT_EQ(rep.messages.size(), 1u);
    EXPECT_EQ(rep.messages[0], "File access denied");
    EXPECT_EQ(d.read(paths::kSettingsFile), kFirstRun);
    EXPECT_FALSE(d.exists(paths::kPresenceMarker));
}

TEST(SaveSettings, FailedWriteKeepsThePreviousSettings) {
    TempDrive d;
    Settings s;
    Reports rep;
    loadSettings(d.fs(), s, rep.fn());
    struct FailWrites final : FaultHook {
        int before(FileOp op, const std::string& path) override {
            return op == FileOp::Write && path.find("CONFIG") != std::string::npos ? kDiskFull : 0;
        }
    } full;
    d.fs().setFaultHook(&full);
    SettingsBoxes boxes = boxesOf(s);
    boxes.normal = "14";
    saveSettings(d.fs(), s, boxes, rep.fn());
    d.fs().setFaultHook(nullptr);
    ASSERT_EQ(rep.messages.size(), 1u);
    EXPECT_EQ(rep.messages[0], "Disk full");
    EXPECT_EQ(d.read(paths::kSettingsFile), kFirstRun);  // not emptied
}

}  // namespace
}  // namespace nx
