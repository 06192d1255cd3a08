// A stand-in mail library that records the call it gets: every argument and every
// field of the message, one "key=value" line each, into the file named by
// NORVEXA_STANDIN_RECORD. It returns NORVEXA_STANDIN_RESULT (0 when unset).
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "mail/mapi.h"

namespace {

std::string text(const char* s) { return s ? "[" + std::string(s) + "]" : "<null>"; }
std::string ptr(const void* p) { return p ? "set" : "<null>"; }

void recip(std::ofstream& out, const std::string& key, const nx::MapiRecipDesc& r) {
    out << key << ".ulReserved=" << r.ulReserved << '\n'
        << key << ".ulRecipClass=" << r.ulRecipClass << '\n'
        << key << ".lpszName=" << text(r.lpszName) << '\n'
        << key << ".lpszAddress=" << text(r.lpszAddress) << '\n'
        << key << ".ulEIDSize=" << r.ulEIDSize << '\n'
        << key << ".lpEntryID=" << ptr(r.lpEntryID) << '\n';
}

}  // namespace

extern "C" __attribute__((visibility("default"))) nx::MapiULong MAPISendMail(
    nx::MapiHandle lhSession, std::uintptr_t ulUIParam, nx::MapiMessage* m, nx::MapiFlags flFlags,
    nx::MapiULong ulReserved) {
    if (const char* path = std::getenv("NORVEXA_STANDIN_RECORD")) {
        std::ofstream out(path, std::ios::trunc);
        out << "lhSession=" << lhSession << '\n'
            << "ulUIParam=" << ulUIParam << '\n'
            << "flFlags=" << flFlags << '\n'
            << "ulReserved=" << ulReserved << '\n'
            << "lpMessage=" << ptr(m) << '\n';
        if (m) {
            out << "msg.ulReserved=" << m->ulReserved << '\n'
                << "msg.lpszSubject=" << text(m->lpszSubject) << '\n'
                << "msg.lpszNoteText=" << text(m->lpszNoteText) << '\n'
                << "msg.lpszMessageType=" << text(m->lpszMessageType) << '\n'
                << "msg.lpszDateReceived=" << text(m->lpszDateReceived) << '\n'
                << "msg.lpszConversationID=" << text(m->lpszConversationID) << '\n'
                << "msg.flFlags=" << m->flFlags << '\n'
                << "msg.lpOriginator=" << ptr(m->lpOriginator) << '\n'
                << "msg.nRecipCount=" << m->nRecipCount << '\n'
                << "msg.lpRecips=" << ptr(m->lpRecips) << '\n'
                << "msg.nFileCount=" << m->nFileCount << '\n'
                << "msg.lpFiles=" << ptr(m->lpFiles) << '\n';
            if (m->lpOriginator) recip(out, "orig", *m->lpOriginator);
            if (m->lpRecips) {
                for (nx::MapiULong i = 0; i < m->nRecipCount; ++i) {
                    recip(out, "recip" + std::to_string(i), m->lpRecips[i]);
                }
            }
            if (m->lpFiles) {
                for (nx::MapiULong i = 0; i < m->nFileCount; ++i) {
                    const nx::MapiFileDesc& f = m->lpFiles[i];
                    const std::string key = "file" + std::to_string(i);
                    out << key << ".ulReserved=" << f.ulReserved << '\n'
                        << key << ".flFlags=" << f.flFlags << '\n'
                        << key << ".nPosition=" << f.nPosition << '\n'
                        << key << ".lpszPathName=" << text(f.lpszPathName) << '\n'
                        << key << ".lpszFileName=" << text(f.lpszFileName) << '\n'
                        << key << ".lpFileType=" << ptr(f.lpFileType) << '\n';
                }
            }
        }
    }
    const char* result = std::getenv("NORVEXA_STANDIN_RESULT");
    return result ? static_cast<nx::MapiULong>(std::strtoul(result, nullptr, 10)) : 0;
}
