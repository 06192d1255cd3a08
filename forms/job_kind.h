// How a job the windows print or show is read: the line format of the seven host
// programs (nothing), or ESC/P with its watched folder's printer family and code page.
#pragma once

#include <optional>

#include "escp/codepages.h"
#include "escp/interpreter.h"
#include "intake/folders.h"

using EscpJob = std::optional<nx::escp::Options>;

inline EscpJob escpJobOf(const std::optional<nx::WatchedFolder>& folder) {
    if (!folder) return std::nullopt;
    nx::escp::Options o;
    o.pins = folder->pins == 9 ? nx::escp::Pins::Nine : nx::escp::Pins::TwentyFour;
    if (const auto page = nx::escp::codePageOf(folder->codePage)) o.codePage = *page;
    return o;
}
