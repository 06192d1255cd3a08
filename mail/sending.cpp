#include "mail/sending.h"

#include "platform/library.h"

#include <string>
#include <vector>

namespace nx {
namespace {

// A text as the message holds it: null when empty, else a zero-terminated copy.
char* field(std::string& storage) { return storage.empty() ? nullptr : storage.data(); }

}  // namespace

std::string sendErrorText(int result) {
    return "Hiba a lev\xE9l k\xFCld\xE9sekor (" + std::to_string(result) + ").";
}

int LevelKuldes(const MailMessage& mail, std::uintptr_t uiParam, std::string_view library) {
    // Zero-terminated copies that live as long as the message.
    std::string subjectText(mail.subject), bodyText(mail.body);
    std::string origName(mail.senderName.empty() ? mail.senderAddress : mail.senderName);
    std::string origAddress(mail.senderAddress);
    std::string toName(mail.recipName.empty() ? mail.recipAddress : mail.recipName);
    std::string toAddress(mail.recipAddress);
    std::vector<std::string> paths;
    for (const std::string& path : mail.attachments)
        if (!path.empty()) paths.push_back(path);

    MapiMessage message{};
    MapiRecipDesc originator{};
    MapiRecipDesc recipient{};
    std::vector<MapiFileDesc> files(paths.size());

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
    for (std::size_t i = 0; i < paths.size(); ++i) {
        files[i].nPosition = 0xFFFFFFFFu;
        files[i].lpszPathName = field(paths[i]);
    }
    if (!files.empty()) {
        message.nFileCount = static_cast<MapiULong>(files.size());
        message.lpFiles = files.data();
    }

    int result = -1;
    {
        Library mapi;  // unloads on every way out of this block
        if (mapi.load(libraryLoadName(library))) {
            auto send = reinterpret_cast<MapiSendMailFn>(mapi.entry(kMapiSendMailName));
            if (!send) {
                result = 1;
            } else {
                const MapiULong ret = send(0, uiParam, &message, MAPI_LOGON_UI | MAPI_DIALOG, 0);
                result = static_cast<int>(static_cast<std::int32_t>(ret));
            }
        }
    }
    return result;
}

}  // namespace nx
