// Sending a mail through Simple MAPI: the message is built from the texts given and
// handed to MAPISendMail of the mail library, loaded by name for the one call.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mail/mapi.h"
#include "mail/provider_name.h"

namespace nx {

// The error box text of a failed send: "Hiba a levél küldésekor (" n ")." (CP1250).
std::string sendErrorText(int result);

// One message. Texts are code page 1250; an empty text counts as absent: no subject
// / body text, no originator without the sender's address, no recipient without
// the recipient's address; empty attachment paths are left out. An empty name is
// replaced by the address beside it.
struct MailMessage {
    std::string subject;
    std::string body;
    std::string senderName;
    std::string senderAddress;
    std::string recipName;
    std::string recipAddress;
    std::vector<std::string> attachments;  // DOS paths, in this order
};

// Sends `message`. Result: -1 when the library cannot be loaded, 1 when it lacks
// MAPISendMail, otherwise what MAPISendMail returned (0 on success). The library is
// unloaded again whenever it was loaded. The caller reports a non-zero result
// (sendErrorText).
//
// `uiParam` is the handle of the program's application window; `library` the
// library's name as libraryLoadName() understands it.
int LevelKuldes(const MailMessage& message, std::uintptr_t uiParam = 0,
                std::string_view library = kMapiLibraryName);

}  // namespace nx
