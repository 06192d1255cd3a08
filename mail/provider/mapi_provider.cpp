// The Simple MAPI provider for desktops without one: a shared library that exports
// MAPISendMail and hands the message to the desktop's mail program through
// xdg-email. The program loads it under the name "MAPI32.DLL" (platform/library.h).
//
// What reaches xdg-email:
//   --utf8, then --subject and --body when present (CP1250 converted to UTF-8);
//   --to / --cc / --bcc for every recipient with its address ("SMTP:" removed, the
//     name when the address is empty); the originator has no place there;
//   --attach with the host path of every attachment, its DOS path mapped through
//     drive C (NORVEXA_DRIVE_C, else the default directory).
// Every text is one argument of its own and xdg-email is started directly, without
// a shell, so no text of a message can run as a command.
//
// Results: 0 when xdg-email ran and exited with 0; MAPI_E_ATTACHMENT_NOT_FOUND for
// an attachment that does not exist, MAPI_E_ATTACHMENT_OPEN_FAILURE for one that
// cannot be read (both checked before anything runs); MAPI_E_INVALID_RECIPS for a
// recipient without address and name; MAPI_E_BAD_RECIPTYPE for an unknown recipient
// class; MAPI_E_FAILURE when xdg-email cannot be started or exits with another
// code, and for a missing message; MAPI_E_INSUFFICIENT_MEMORY when memory runs out.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "mail/mapi.h"
#include "platform/files.h"
#include "platform/cp1250_utf8.h"

extern char** environ;

namespace nx::mapi {
namespace {

bool present(const char* text) { return text != nullptr && *text != '\0'; }

// A recipient's address as the mail program takes it: without an "SMTP:" address
// type in front, falling back on the name.
std::string recipientAddress(const MapiRecipDesc& recip) {
    std::string_view text = present(recip.lpszAddress) ? recip.lpszAddress
                            : present(recip.lpszName)  ? recip.lpszName
                                                       : "";
    constexpr std::string_view kSmtp = "SMTP:";
    if (text.size() >= kSmtp.size()) {
        bool match = true;
        for (std::size_t i = 0; i < kSmtp.size(); ++i) {
            char c = text[i];
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            if (c != kSmtp[i]) match = false;
        }
        if (match) text.remove_prefix(kSmtp.size());
    }
    return std::string(text);
}

DriveTable driveTable() {
    const char* env = std::getenv("NORVEXA_DRIVE_C");
    return DriveTable(env && *env ? std::string(env) : DriveTable::defaultDriveC());
}

MapiULong checkAttachment(const std::string& hostPath) {
    struct stat st {};
    if (::stat(hostPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return MAPI_E_ATTACHMENT_NOT_FOUND;
    }
    const int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return MAPI_E_ATTACHMENT_OPEN_FAILURE;
    ::close(fd);
    return SUCCESS_SUCCESS;
}

// The arguments of xdg-email for `message`, or a failure code.
MapiULong buildArguments(const MapiMessage& message, std::vector<std::string>& args) {
    args = {"xdg-email", "--utf8"};
    if (present(message.lpszSubject)) {
        args.emplace_back("--subject");
        args.push_back(cp1250ToUtf8(message.lpszSubject));
    }
    if (present(message.lpszNoteText)) {
        args.emplace_back("--body");
        args.push_back(cp1250ToUtf8(message.lpszNoteText));
    }

    if (message.nRecipCount > 0 && message.lpRecips == nullptr) return MAPI_E_INVALID_RECIPS;
    for (MapiULong i = 0; i < message.nRecipCount; ++i) {
        const MapiRecipDesc& recip = message.lpRecips[i];
        const char* option = nullptr;
        switch (recip.ulRecipClass) {
            case MAPI_TO: option = "--to"; break;
            case MAPI_CC: option = "--cc"; break;
            case MAPI_BCC: option = "--bcc"; break;
            default: return MAPI_E_BAD_RECIPTYPE;
        }
        std::string address = recipientAddress(recip);
        if (address.empty()) return MAPI_E_INVALID_RECIPS;
        args.emplace_back(option);
        args.push_back(cp1250ToUtf8(address));
    }

    if (message.nFileCount > 0 && message.lpFiles == nullptr) return MAPI_E_ATTACHMENT_NOT_FOUND;
    const DriveTable drives = driveTable();
    for (MapiULong i = 0; i < message.nFileCount; ++i) {
        const MapiFileDesc& file = message.lpFiles[i];
        if (!present(file.lpszPathName)) return MAPI_E_ATTACHMENT_NOT_FOUND;
        std::string host = drives.resolve(file.lpszPathName);
        if (const MapiULong code = checkAttachment(host); code != SUCCESS_SUCCESS) return code;
        args.emplace_back("--attach");
        args.push_back(std::move(host));
    }
    return SUCCESS_SUCCESS;
}

// Starts xdg-email (found on PATH) with `args` and waits for it to end.
MapiULong run(std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        return MAPI_E_FAILURE;
    }
    int status = 0;
    pid_t waited = -1;
    do {
        waited = ::waitpid(pid, &status, 0);
    } while (waited < 0 && errno == EINTR);  // ends with the child
    if (waited != pid) return MAPI_E_FAILURE;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? SUCCESS_SUCCESS : MAPI_E_FAILURE;
}

}  // namespace
}  // namespace nx::mapi

// The flags (log-on dialog, send dialog) need no handling: the mail program always
// shows its own compose window, where the user sends or drops the message.
extern "C" __attribute__((visibility("default"))) nx::MapiULong MAPISendMail(
    nx::MapiHandle lhSession, std::uintptr_t ulUIParam, nx::MapiMessage* lpMessage,
    nx::MapiFlags flFlags, nx::MapiULong ulReserved) {
    (void)lhSession;
    (void)ulUIParam;
    (void)flFlags;
    (void)ulReserved;
    if (lpMessage == nullptr) return nx::MAPI_E_FAILURE;
    try {
        std::vector<std::string> args;
        if (const auto code = nx::mapi::buildArguments(*lpMessage, args); code != nx::SUCCESS_SUCCESS) {
            return code;
        }
        return nx::mapi::run(args);
    } catch (const std::bad_alloc&) {
        return nx::MAPI_E_INSUFFICIENT_MEMORY;
    } catch (...) {
        return nx::MAPI_E_FAILURE;
    }
}

static_assert(std::is_same_v<decltype(&MAPISendMail), nx::MapiSendMailFn>,
              "MAPISendMail must keep the published signature");
