// Sending a mail through Simple MAPI: the message is built from the texts given and
// handed to MAPISendMail of the mail library, loaded by name for the one call.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "mail/mapi.h"
#include "platform/library.h"
#include "platform/services.h"

namespace nx {

// The error box text of a failed send: "Hiba a levél küldésekor (" n ")." (CP1250).
std::string sendErrorText(int result);

// Sends one message. Texts are code page 1250; an empty text counts as absent:
// no subject / body text, no originator without the sender's address, no recipient
// without the recipient's address, no attachment without its path. An empty name
// is replaced by the address beside it.
//
// Result: -1 when the library cannot be loaded, 1 when it lacks MAPISendMail,
// otherwise what MAPISendMail returned (0 on success). The library is unloaded
// again whenever it was loaded. A non-zero result is shown in the error box of
// `services` before returning.
//
// `uiParam` is the handle of the program's application window; `library` the
// library's name as libraryLoadName() understands it.
int LevelKuldes(std::string_view subject, std::string_view body, std::string_view attachment,
                std::string_view senderName, std::string_view senderAddress,
                std::string_view recipName, std::string_view recipAddress, Services& services,
                std::uintptr_t uiParam = 0, std::string_view library = kMapiLibraryName);

}  // namespace nx
