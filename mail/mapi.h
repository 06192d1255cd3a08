// Simple MAPI: our own definitions of the published structures, flags and result
// codes, and the signature of MAPISendMail. Field order and widths follow the
// published layout (ULONG and FLAGS are 32-bit unsigned, texts are zero-terminated
// single-byte strings), so a message built here can be handed to the system's
// library on Windows as it stands, and to our own provider elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define NX_MAPI_CALL __stdcall
#else
#define NX_MAPI_CALL
#endif

namespace nx {

using MapiULong = std::uint32_t;   // ULONG
using MapiFlags = std::uint32_t;   // FLAGS
using MapiHandle = std::uintptr_t; // LHANDLE, ULONG_PTR

struct MapiRecipDesc {
    MapiULong ulReserved;
    MapiULong ulRecipClass;   // MAPI_ORIG, MAPI_TO, MAPI_CC, MAPI_BCC
    char* lpszName;
    char* lpszAddress;
    MapiULong ulEIDSize;
    void* lpEntryID;
};

struct MapiFileDesc {
    MapiULong ulReserved;
    MapiFlags flFlags;
    MapiULong nPosition;      // 0xFFFFFFFF: not placed inside the body text
    char* lpszPathName;
    char* lpszFileName;
    void* lpFileType;
};

struct MapiMessage {
    MapiULong ulReserved;
    char* lpszSubject;
    char* lpszNoteText;
    char* lpszMessageType;
    char* lpszDateReceived;
    char* lpszConversationID;
    MapiFlags flFlags;
    MapiRecipDesc* lpOriginator;
    MapiULong nRecipCount;
    MapiRecipDesc* lpRecips;
    MapiULong nFileCount;
    MapiFileDesc* lpFiles;
};

// Recipient classes.
inline constexpr MapiULong MAPI_ORIG = 0;
inline constexpr MapiULong MAPI_TO = 1;
inline constexpr MapiULong MAPI_CC = 2;
inline constexpr MapiULong MAPI_BCC = 3;

// Flags of MAPISendMail.
inline constexpr MapiFlags MAPI_LOGON_UI = 0x00000001;
inline constexpr MapiFlags MAPI_NEW_SESSION = 0x00000002;
inline constexpr MapiFlags MAPI_DIALOG = 0x00000008;

// Result codes.
inline constexpr MapiULong SUCCESS_SUCCESS = 0;
inline constexpr MapiULong MAPI_USER_ABORT = 1;
inline constexpr MapiULong MAPI_E_FAILURE = 2;
inline constexpr MapiULong MAPI_E_LOGON_FAILURE = 3;
inline constexpr MapiULong MAPI_E_DISK_FULL = 4;
inline constexpr MapiULong MAPI_E_INSUFFICIENT_MEMORY = 5;
inline constexpr MapiULong MAPI_E_ACCESS_DENIED = 6;
inline constexpr MapiULong MAPI_E_TOO_MANY_SESSIONS = 8;
inline constexpr MapiULong MAPI_E_TOO_MANY_FILES = 9;
inline constexpr MapiULong MAPI_E_TOO_MANY_RECIPIENTS = 10;
inline constexpr MapiULong MAPI_E_ATTACHMENT_NOT_FOUND = 11;
inline constexpr MapiULong MAPI_E_ATTACHMENT_OPEN_FAILURE = 12;
inline constexpr MapiULong MAPI_E_ATTACHMENT_WRITE_FAILURE = 13;
inline constexpr MapiULong MAPI_E_UNKNOWN_RECIPIENT = 14;
inline constexpr MapiULong MAPI_E_BAD_RECIPTYPE = 15;
inline constexpr MapiULong MAPI_E_INVALID_MESSAGE = 17;
inline constexpr MapiULong MAPI_E_TEXT_TOO_LARGE = 18;
inline constexpr MapiULong MAPI_E_INVALID_RECIPS = 25;
inline constexpr MapiULong MAPI_E_NOT_SUPPORTED = 26;

// ULONG MAPISendMail(LHANDLE lhSession, ULONG_PTR ulUIParam, lpMapiMessage lpMessage,
//                    FLAGS flFlags, ULONG ulReserved)
using MapiSendMailFn = MapiULong(NX_MAPI_CALL*)(MapiHandle lhSession, std::uintptr_t ulUIParam,
                                               MapiMessage* lpMessage, MapiFlags flFlags,
                                               MapiULong ulReserved);

inline constexpr const char* kMapiSendMailName = "MAPISendMail";

// The published layout on the 64-bit platforms we build for: natural alignment,
// 32-bit fields padded before each pointer.
#if UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
static_assert(sizeof(MapiRecipDesc) == 40);
static_assert(offsetof(MapiRecipDesc, lpszName) == 8);
static_assert(offsetof(MapiRecipDesc, ulEIDSize) == 24);
static_assert(offsetof(MapiRecipDesc, lpEntryID) == 32);
static_assert(sizeof(MapiFileDesc) == 40);
static_assert(offsetof(MapiFileDesc, nPosition) == 8);
static_assert(offsetof(MapiFileDesc, lpszPathName) == 16);
static_assert(sizeof(MapiMessage) == 96);
static_assert(offsetof(MapiMessage, lpszSubject) == 8);
static_assert(offsetof(MapiMessage, flFlags) == 48);
static_assert(offsetof(MapiMessage, lpOriginator) == 56);
static_assert(offsetof(MapiMessage, nRecipCount) == 64);
static_assert(offsetof(MapiMessage, lpRecips) == 72);
static_assert(offsetof(MapiMessage, nFileCount) == 80);
static_assert(offsetof(MapiMessage, lpFiles) == 88);
#elif UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(MapiRecipDesc) == 24);
static_assert(sizeof(MapiFileDesc) == 24);
static_assert(sizeof(MapiMessage) == 48);
#endif

}  // namespace nx
