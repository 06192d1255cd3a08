// LevelKuldes against stand-in mail libraries: one that is not there, one without
// MAPISendMail, and one that records the call field by field.
#include <gtest/gtest.h>
#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <filesystem>
#include <fstream>
#include <string>

#include "mail/sending.h"
#include "platform/library.h"
#include "tests/mail/mail_support.h"
#include "tests/support/temp_drive.h"

namespace {

using nx::test::RecordingServices;
using nx::test::ScopedEnv;

constexpr const char* kAttachment = "c:\\norvexa\\kuldes.txt";

// True while the library at `path` is loaded in this process.
bool loaded(const char* path) {
#if defined(_WIN32)
    return GetModuleHandleA(path) != nullptr;
#else
    void* h = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (!h) return false;
    dlclose(h);
    return true;
#endif
}

class RecordingLibrary : public ::testing::Test {
protected:
    nx::test::TempDrive dir;
    std::string recordPath = (dir.root() / "record.txt").string();
    ScopedEnv record{"NORVEXA_STANDIN_RECORD", recordPath};
    RecordingServices services;

    std::map<std::string, std::string> send(std::string_view subject, std::string_view body,
                                            std::string_view attachment, std::string_view ownName,
                                            std::string_view ownAddress, std::string_view recipAddress,
                                            int expected = 0) {
        const int result = nx::test::sendMessage(subject, body, attachment, ownName, ownAddress, "",
                                           recipAddress, services, 4711, NX_STANDIN_RECORDING);
        EXPECT_EQ(result, expected);
        EXPECT_FALSE(loaded(NX_STANDIN_RECORDING)) << "library left loaded";
        return nx::test::readRecord(recordPath);
    }
};

TEST(LevelKuldesLibrary, MissingLibraryGivesMinusOneAndTheErrorBox) {
    ASSERT_FALSE(std::filesystem::exists(NX_STANDIN_MISSING));
    RecordingServices services;
    EXPECT_EQ(nx::test::sendMessage("t", "", kAttachment, "", "a@b", "", "c@d", services, 0,
                              NX_STANDIN_MISSING),
              -1);
    ASSERT_EQ(services.errors.size(), 1u);
    EXPECT_EQ(services.errors[0], "Hiba a lev\xE9l k\xFCld\xE9sekor (-1).");
}

TEST(LevelKuldesLibrary, MissingEntryPointGivesOneAndUnloads) {
    RecordingServices services;
    EXPECT_EQ(nx::test::sendMessage("t", "", kAttachment, "", "", "", "c@d", services, 0,
                              NX_STANDIN_NO_ENTRY),
              1);
    EXPECT_FALSE(loaded(NX_STANDIN_NO_ENTRY));
    ASSERT_EQ(services.errors.size(), 1u);
    EXPECT_EQ(services.errors[0], "Hiba a lev\xE9l k\xFCld\xE9sekor (1).");
}

TEST_F(RecordingLibrary, FullMessageFieldByField) {
    auto r = send("Inform\xE1\x63i\xF3 k\xFCld\xE9se (Norvexa)", "", kAttachment, "Kiss Anna",
                  "anna@x.hu", "bela@y.hu");
    EXPECT_TRUE(services.errors.empty());

    EXPECT_EQ(r["lhSession"], "0");
    EXPECT_EQ(r["ulUIParam"], "4711");
    EXPECT_EQ(r["flFlags"], "9");
    EXPECT_EQ(r["ulReserved"], "0");

    EXPECT_EQ(r["msg.ulReserved"], "0");
    EXPECT_EQ(r["msg.lpszSubject"], "[Inform\xE1\x63i\xF3 k\xFCld\xE9se (Norvexa)]");
    EXPECT_EQ(r["msg.lpszNoteText"], "<null>");
    EXPECT_EQ(r["msg.lpszMessageType"], "<null>");
    EXPECT_EQ(r["msg.lpszDateReceived"], "<null>");
    EXPECT_EQ(r["msg.lpszConversationID"], "<null>");
    EXPECT_EQ(r["msg.flFlags"], "0");

    EXPECT_EQ(r["msg.lpOriginator"], "set");
    EXPECT_EQ(r["orig.ulReserved"], "0");
    EXPECT_EQ(r["orig.ulRecipClass"], "0");
    EXPECT_EQ(r["orig.lpszName"], "[Kiss Anna]");
    EXPECT_EQ(r["orig.lpszAddress"], "[anna@x.hu]");
    EXPECT_EQ(r["orig.ulEIDSize"], "0");
    EXPECT_EQ(r["orig.lpEntryID"], "<null>");

    EXPECT_EQ(r["msg.nRecipCount"], "1");
    EXPECT_EQ(r["recip0.ulReserved"], "0");
    EXPECT_EQ(r["recip0.ulRecipClass"], "1");
    EXPECT_EQ(r["recip0.lpszName"], "[bela@y.hu]");  // no name: the address stands in
    EXPECT_EQ(r["recip0.lpszAddress"], "[bela@y.hu]");
    EXPECT_EQ(r["recip0.ulEIDSize"], "0");
    EXPECT_EQ(r["recip0.lpEntryID"], "<null>");

    EXPECT_EQ(r["msg.nFileCount"], "1");
    EXPECT_EQ(r["file0.ulReserved"], "0");
    EXPECT_EQ(r["file0.flFlags"], "0");
    EXPECT_EQ(r["file0.nPosition"], "4294967295");
    EXPECT_EQ(r["file0.lpszPathName"], "[c:\\norvexa\\kuldes.txt]");
    EXPECT_EQ(r["file0.lpszFileName"], "<null>");
    EXPECT_EQ(r["file0.lpFileType"], "<null>");
}

TEST_F(RecordingLibrary, EmptyTextsLeaveTheirPartsOut) {
    // Own name empty: the address fills both fields of the originator.
    auto r = send("s", "", kAttachment, "", "anna@x.hu", "bela@y.hu");
    EXPECT_EQ(r["orig.lpszName"], "[anna@x.hu]");
    EXPECT_EQ(r["orig.lpszAddress"], "[anna@x.hu]");

    // Own address empty: no originator, even with a name.
    r = send("s", "", kAttachment, "Kiss Anna", "", "bela@y.hu");
    EXPECT_EQ(r["msg.lpOriginator"], "<null>");
    EXPECT_EQ(r.count("orig.lpszName"), 0u);

    // Recipient's address empty: no recipients, the attachment is still given.
    r = send("s", "", kAttachment, "", "anna@x.hu", "");
    EXPECT_EQ(r["msg.nRecipCount"], "0");
    EXPECT_EQ(r["msg.lpRecips"], "<null>");
    EXPECT_EQ(r["msg.nFileCount"], "1");
    EXPECT_EQ(r["file0.lpszPathName"], "[c:\\norvexa\\kuldes.txt]");

    // No subject, no attachment; a body when one is given.
    r = send("", "body text", "", "", "", "");
    EXPECT_EQ(r["msg.lpszSubject"], "<null>");
    EXPECT_EQ(r["msg.lpszNoteText"], "[body text]");
    EXPECT_EQ(r["msg.nFileCount"], "0");
    EXPECT_EQ(r["msg.lpFiles"], "<null>");
    EXPECT_TRUE(services.errors.empty());
}

TEST_F(RecordingLibrary, TextsReachTheMessageUntrimmed) {
    auto r = send("  t ", "", kAttachment, " n ", " a@b ", " c@d ");
    EXPECT_EQ(r["msg.lpszSubject"], "[  t ]");
    EXPECT_EQ(r["orig.lpszName"], "[ n ]");
    EXPECT_EQ(r["orig.lpszAddress"], "[ a@b ]");
    EXPECT_EQ(r["recip0.lpszAddress"], "[ c@d ]");
}

TEST_F(RecordingLibrary, ResultOfMapiSendMailIsReturnedAndShown) {
    {
        ScopedEnv result("NORVEXA_STANDIN_RESULT", "1");  // the user cancelled
        send("s", "", kAttachment, "", "", "c@d", 1);
    }
    {
        ScopedEnv result("NORVEXA_STANDIN_RESULT", "11");
        send("s", "", kAttachment, "", "", "c@d", 11);
    }
    ASSERT_EQ(services.errors.size(), 2u);
    EXPECT_EQ(services.errors[0], "Hiba a lev\xE9l k\xFCld\xE9sekor (1).");
    EXPECT_EQ(services.errors[1], "Hiba a lev\xE9l k\xFCld\xE9sekor (11).");
}

#if defined(_WIN32)
// Windows has the library itself: the name goes to the system's loader unchanged.
TEST(LibraryName, MapiNameIsTheSystemLibrary) {
    ScopedEnv env("NORVEXA_MAPI_LIBRARY", "c:\\x\\mine.dll");
    EXPECT_EQ(nx::libraryLoadName("MAPI32.DLL"), "MAPI32.DLL");
    EXPECT_EQ(nx::libraryLoadName("MAPI32.DLL", "c:\\program files\\norvexa\\norvexa.exe"), "MAPI32.DLL");
}
#else
TEST(LibraryName, MapiNameStandsForTheProvider) {
    EXPECT_EQ(nx::libraryLoadName("/x/libfoo.so"), "/x/libfoo.so");
    EXPECT_EQ(nx::libraryLoadName("libz.so.1"), "libz.so.1");
    {
        ScopedEnv env("NORVEXA_MAPI_LIBRARY", "/opt/mail/libmine.so");
        EXPECT_EQ(nx::libraryLoadName("MAPI32.DLL"), "/opt/mail/libmine.so");
        EXPECT_EQ(nx::libraryLoadName("mapi32.dll"), "/opt/mail/libmine.so");
    }
    {
        ScopedEnv env("NORVEXA_MAPI_LIBRARY", "");
        // Nothing beside this test program: the loader's own search.
        EXPECT_EQ(nx::libraryLoadName("MAPI32.DLL"), "libnorvexa_mapi.so");
    }
}

TEST(LibraryName, AnInstalledProgramFindsTheProviderInItsPrivateDirectory) {
    ScopedEnv env("NORVEXA_MAPI_LIBRARY", "");
    nx::test::TempDrive root;
    const std::filesystem::path bin = root.root() / "usr" / "bin";
    const std::filesystem::path priv = bin / NORVEXA_PRIVATE_LIBDIR;
    std::filesystem::create_directories(bin);
    std::filesystem::create_directories(priv);
    const std::string exe = (bin / "norvexa").string();
    EXPECT_EQ(nx::libraryLoadName("MAPI32.DLL", exe), "libnorvexa_mapi.so");
    std::ofstream(priv / "libnorvexa_mapi.so") << "x";
    EXPECT_EQ(nx::libraryLoadName("MAPI32.DLL", exe),
              (priv / "libnorvexa_mapi.so").lexically_normal().string());
    EXPECT_NE(nx::libraryLoadName("MAPI32.DLL", exe).find("/usr/lib/"), std::string::npos);
    // A provider beside the executable (a build tree) comes first.
    std::ofstream(bin / "libnorvexa_mapi.so") << "x";
    EXPECT_EQ(nx::libraryLoadName("MAPI32.DLL", exe), (bin / "libnorvexa_mapi.so").string());
}

TEST(LibraryName, DefaultNameLoadsThroughTheEnvironment) {
    nx::test::TempDrive dir;
    const std::string recordPath = (dir.root() / "record.txt").string();
    ScopedEnv record("NORVEXA_STANDIN_RECORD", recordPath);
    ScopedEnv lib("NORVEXA_MAPI_LIBRARY", NX_STANDIN_RECORDING);
    RecordingServices services;
    EXPECT_EQ(nx::test::sendMessage("s", "", kAttachment, "", "", "", "c@d", services), 0);
    EXPECT_EQ(nx::test::readRecord(recordPath)["recip0.lpszAddress"], "[c@d]");
}
#endif

TEST(LibraryLoading, EntryAndUnload) {
    nx::Library lib;
    EXPECT_FALSE(lib.load(NX_STANDIN_MISSING));
    EXPECT_FALSE(lib.error().empty());
    EXPECT_EQ(lib.entry("MAPISendMail"), nullptr);

    ASSERT_TRUE(lib.load(NX_STANDIN_RECORDING));
    EXPECT_NE(lib.entry("MAPISendMail"), nullptr);
    EXPECT_EQ(lib.entry("MAPILogon"), nullptr);
    EXPECT_TRUE(loaded(NX_STANDIN_RECORDING));
    // Loading another one lets the first go.
    ASSERT_TRUE(lib.load(NX_STANDIN_NO_ENTRY));
    EXPECT_FALSE(loaded(NX_STANDIN_RECORDING));
    lib.unload();
    EXPECT_FALSE(loaded(NX_STANDIN_NO_ENTRY));
    EXPECT_FALSE(lib.isLoaded());
}

}  // namespace
