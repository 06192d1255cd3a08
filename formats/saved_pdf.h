// A job saved as PDF files: where its documents begin (a batch split by a pattern
// that a document's first page matches) and the name each file gets from a
// template of fields and the document's own text.
//
//   {fajl}          the job file's name without its extension
//   {mappa}         the folder's name
//   {datum} {ido}   the local date (YYYY-MM-DD) and time (HHMMSS) the job was taken
//   {oldal}         the document's first page in the job
//   {szoveg:REGEX}  the first match of REGEX in the document's text, line by line
//                   (its first group if it has one); braces inside come in pairs
//
// The patterns are matched by a LineMatcher the caller gives (the core links no
// pattern engine of its own that bounds its time).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/line_matcher.h"

namespace nx {

inline constexpr std::string_view kDefaultNameTemplate = "{fajl}_{datum}_{ido}";
inline constexpr std::size_t kMaxSavedName = 120;  // characters, before ".pdf" and " (2)"

// What a name is made of for one document.
struct NameFields {
    std::string file;     // the job file's name without its extension
    std::string folder;   // the folder's name
    std::int64_t takenAt = 0;  // seconds since the epoch
    int firstPage = 1;
    std::vector<std::string> pages;  // the document's pages' text (UTF-8 lines)
};

// The first pages (1-based, ascending, the first always 1) of the documents of a job
// whose pages hold `pages` (each page's text): a document begins at each page one
// of whose lines `separator` matches.
std::vector<int> documentStarts(const std::vector<std::string>& pages, LineMatcher& separator);

// The file name (without ".pdf") that `nameTemplate` makes of `fields`. Characters a
// file name cannot hold on Windows or Linux become "_", a field that is empty
// (nothing matched) becomes "-", and the name is cut to kMaxSavedName characters.
// `told` gains a message (UTF-8) for a pattern that does not compile or a match
// that took too long.
std::string savedName(std::string_view nameTemplate, const NameFields& fields, const PatternCompiler& compile,
                      std::vector<std::string>& told);

// Whether `nameTemplate` is well formed (its braces closed, its fields known, its
// patterns compiled); empty when it is, else why (UTF-8).
std::string nameTemplateProblem(std::string_view nameTemplate, const PatternCompiler& compile);

// The path in `dir` (a DOS path on drive C or a host path) of a new file `name`.pdf:
// " (2)", " (3)" ... are added before ".pdf" while a file of that name exists.
std::string freshPdfPath(FileSystem& fs, const std::string& dir, const std::string& name);

// A job's text (pages parted by form feeds) split into its pages.
std::vector<std::string> pagesOfText(std::string_view text);

// A page text split into its lines.
std::vector<std::string_view> linesOf(std::string_view page);

}  // namespace nx
