// The xdg-email provider, loaded as the program loads it, against a stand-in
// xdg-email on PATH that records its arguments.
#ifdef NX_PROVIDER

#include <gtest/gtest.h>

#include <iconv.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "mail/sending.h"
#include "platform/library.h"
#include "tests/mail/mail_support.h"
#include "tests/support/temp_drive.h"

namespace {

using nx::test::RecordingServices;
using nx::test::ScopedEnv;

constexpr const char* kAttachment = "c:\\norvexa\\kuldes.txt";

class Provider : public ::testing::Test {
protected:
    nx::test::TempDrive drive;
    std::filesystem::path bin = drive.root() / "bin";
    std::string recordPath = (drive.root() / "xdg-args").string();
    ScopedEnv driveC{"NORVEXA_DRIVE_C", drive.root().string()};
    ScopedEnv record{"NX_XDG_RECORD", recordPath};
    ScopedEnv path{"PATH", bin.string() + ":/usr/bin:/bin"};
    RecordingServices services;

    void SetUp() override {
        std::filesystem::create_directory(bin);
        writeScript("0");
        drive.write(kAttachment, "line\r\n");
    }

    void writeScript(const std::string& exitCode) { nx::test::writeXdgEmailStandIn(bin, exitCode); }

    std::optional<std::vector<std::string>> arguments() const {
        return nx::test::xdgEmailArguments(recordPath);
    }

    int send(std::string_view subject, std::string_view recipAddress,
             std::string_view attachment = kAttachment) {
        return nx::test::sendMessage(subject, "", attachment, "Kiss Anna", "anna@x.hu", "", recipAddress,
                               services, 0, NX_PROVIDER);
    }

    // Calls the provider's MAPISendMail directly with a message built by the test.
    nx::MapiULong call(nx::MapiMessage& message) {
        nx::Library lib;
        EXPECT_TRUE(lib.load(NX_PROVIDER)) << lib.error();
        auto fn = reinterpret_cast<nx::MapiSendMailFn>(lib.entry("MAPISendMail"));
        EXPECT_NE(fn, nullptr);
        return fn ? fn(0, 0, &message, nx::MAPI_LOGON_UI | nx::MAPI_DIALOG, 0) : 99;
    }
};

TEST_F(Provider, HandsSubjectRecipientAndAttachmentHostPath) {
    // "Információ küldése (Norvexa) őű" in code page 1250.
    EXPECT_EQ(send("Inform\xE1\x63i\xF3 k\xFCld\xE9se (Norvexa) \xF5\xFB", "bela@y.hu"), 0);
    EXPECT_TRUE(services.errors.empty());
    const std::vector<std::string> expected = {
        "--utf8", "--subject", "Információ küldése (Norvexa) őű", "--to", "bela@y.hu",
        "--attach", (drive.root() / "norvexa" / "kuldes.txt").string()};
    EXPECT_EQ(arguments(), expected);
}

TEST_F(Provider, AddressesArriveAsOneArgumentAndNothingRuns) {
    const std::string pwned = (drive.root() / "pwned").string();
    // Each address as typed (code page 1250) and as it must arrive (UTF-8).
    const std::vector<std::pair<std::string, std::string>> addresses = {
        {"x@y; touch " + pwned, "x@y; touch " + pwned},
        {"x@y && touch " + pwned, "x@y && touch " + pwned},
        {"$(touch " + pwned + ")@y", "$(touch " + pwned + ")@y"},
        {"`touch " + pwned + "`@y", "`touch " + pwned + "`@y"},
        {"\"Kiss, B\xE9la\" <b@y.hu>'", "\"Kiss, Béla\" <b@y.hu>'"},
        {"--attach", "--attach"},
    };
    for (const auto& [address, arrives] : addresses) {
        ASSERT_EQ(send("s'\"; touch " + pwned, address), 0) << address;
        auto args = arguments();
        ASSERT_TRUE(args);
        ASSERT_EQ(args->size(), 7u) << address;
        EXPECT_EQ((*args)[2], "s'\"; touch " + pwned);
        EXPECT_EQ((*args)[3], "--to");
        EXPECT_EQ((*args)[4], arrives);
    }
    EXPECT_FALSE(std::filesystem::exists(pwned));
}

TEST_F(Provider, FailuresMapOntoMapiCodes) {
    // A missing attachment is found before anything runs.
    EXPECT_EQ(send("s", "b@y", "c:\\norvexa\\nincs.txt"), 11);
    EXPECT_FALSE(arguments());
    ASSERT_EQ(services.errors.size(), 1u);
    EXPECT_EQ(services.errors[0], "Hiba a lev\xE9l k\xFCld\xE9sekor (11).");

    // The mail program reports a failure.
    writeScript("4");
    EXPECT_EQ(send("s", "b@y"), 2);
    EXPECT_TRUE(arguments());

    // No xdg-email anywhere on PATH.
    ScopedEnv noPath("PATH", bin.string() + "/none");
    std::filesystem::remove(recordPath);
    EXPECT_EQ(send("s", "b@y"), 2);
    EXPECT_FALSE(arguments());
}

TEST_F(Provider, RecipientClassesAndAddressTypes) {
    char to[] = "SMTP:a@x.hu", ccName[] = "c@x.hu", bcc[] = "smtp:b@x.hu", file[] = "C:\\NORVEXA\\KULDES.TXT";
    nx::MapiRecipDesc recips[3]{};
    recips[0].ulRecipClass = nx::MAPI_TO;
    recips[0].lpszAddress = to;
    recips[1].ulRecipClass = nx::MAPI_CC;
    recips[1].lpszName = ccName;  // no address: the name stands in
    recips[2].ulRecipClass = nx::MAPI_BCC;
    recips[2].lpszAddress = bcc;
    nx::MapiFileDesc files[1]{};
    files[0].nPosition = 0xFFFFFFFFu;
    files[0].lpszPathName = file;
    nx::MapiMessage message{};
    message.nRecipCount = 3;
    message.lpRecips = recips;
    message.nFileCount = 1;
    message.lpFiles = files;

    EXPECT_EQ(call(message), 0u);
    const std::vector<std::string> expected = {
        "--utf8", "--to", "a@x.hu", "--cc", "c@x.hu", "--bcc", "b@x.hu",
        "--attach", (drive.root() / "norvexa" / "kuldes.txt").string()};
    EXPECT_EQ(arguments(), expected);

    std::filesystem::remove(recordPath);
    recips[1].lpszName = nullptr;  // neither address nor name
    EXPECT_EQ(call(message), nx::MAPI_E_INVALID_RECIPS);
    recips[1].lpszName = ccName;
    recips[1].ulRecipClass = 7;
    EXPECT_EQ(call(message), nx::MAPI_E_BAD_RECIPTYPE);
    EXPECT_FALSE(arguments());
}

// CP1250 bytes to UTF-8 by the system's iconv; nothing when it has no character.
std::optional<std::string> iconvUtf8(const std::string& cp1250) {
    iconv_t cd = iconv_open("UTF-8", "CP1250");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string in = cp1250, out(in.size() * 4, '\0');
    char* src = in.data();
    char* dst = out.data();
    std::size_t left = in.size(), room = out.size();
    const std::size_t rc = iconv(cd, &src, &left, &dst, &room);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1) || left != 0) return std::nullopt;
    out.resize(out.size() - room);
    return out;
}

TEST_F(Provider, EveryLetterOfCodePage1250ArrivesAsUtf8) {
    std::string subject;
    for (int byte = 0x20; byte <= 0xFF; ++byte) {
        const std::string one(1, static_cast<char>(byte));
        if (iconvUtf8(one)) subject += one;  // positions the code page leaves out are skipped
    }
    ASSERT_GT(subject.size(), 200u);
    const std::optional<std::string> expected = iconvUtf8(subject);
    ASSERT_TRUE(expected);
    ASSERT_EQ(send(subject, "b@y"), 0);
    auto args = arguments();
    ASSERT_TRUE(args);
    ASSERT_GE(args->size(), 3u);
    EXPECT_EQ((*args)[2], *expected);
}

}  // namespace

#endif
