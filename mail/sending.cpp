#include "mail/sending.h"

#include <string>

namespace nx {
namespace {

// A text as the message holds it: null when empty, else a zero-terminated copy.
char* field(std::string& storage) { return storage.empty() ? nullptr : storage.data(); }

}  // namespace

std::string sendErrorText(int result) {
    return "Hiba a lev\xE9l k\xFCld\xE9sekor (" + std::to_string(result) + ").";
}

int LevelKuldes(std::string_view subject, std::string_view body, std::string_view attachment,
                std::string_view senderName, std::string_view senderAddress,
                std::string_view recipName, std::string_view recipAddress, Services& services,
                std::uintptr_t uiParam, std::string_view library) {
    // Zero-terminated copies that live as long as the message.
    std::string subjectText(subject), bodyText(body), path(attachment);
    std::string origName(senderName.empty() ? senderAddress : senderName);
    std::string origAddress(senderAddress);
    std::string toName(recipName.empty() ? recipAddress : recipName);
    std::string toAddress(recipAddress);

    MapiMessage message{};
    MapiRecipDesc originator{};
    MapiRecipDesc recipient{};
    MapiFileDesc file{};

    message.lpszSubject = field(subjectText);
    message.lpszNoteText = field(bodyText);

    if (!origAddress.empty()) {
        originator.ulRecipClass = MAPI_ORIG;
        originator.lpszName = field(origName);
        originator.lpszAddress = field(origAddress);
        message.lpOriginator = &originator;
    }
    if (!toAddress.empty()) {
        recipient.ulRecipClass = MAPI_TO;
        recipient.lpszName = field(toName);
        recipient.lpszAddress = field(toAddress);
        message.nRecipCount = 1;
        message.lpRecips = &recipient;
    }
    if (!path.empty()) {
        file.nPosition = 0xFFFFFFFFu;
        file.lpszPathName = field(path);
        message.nFileCount = 1;
        message.lpFiles = &file;
    }

    int result = -1;
    {
        Library mapi;  // unloads on every way out of this block
        if (mapi.load(library)) {
            auto send = reinterpret_cast<MapiSendMailFn>(mapi.entry(kMapiSendMailName));
            if (!send) {
                result = 1;
            } else {
                const MapiULong ret = send(0, uiParam, &message, MAPI_LOGON_UI | MAPI_DIALOG, 0);
                result = static_cast<int>(static_cast<std::int32_t>(ret));
            }
        }
    }
    if (result != 0) services.errorBox(sendErrorText(result));
    return result;
}

}  // namespace nx
