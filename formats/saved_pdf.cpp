#include "formats/saved_pdf.h"

#include <utility>

#include "intake/history.h"

namespace nx {

namespace {

// One piece of a template: literal text, or a field with its argument.
struct Piece {
    bool field = false;
    std::string text;  // the literal, or the field's name
    std::string arg;   // after the first ':' of a field
    bool closed = true;
};

std::vector<Piece> piecesOf(std::string_view t) {
    std::vector<Piece> out;
    std::string literal;
    std::size_t i = 0;
    while (i < t.size()) {
        if (t[i] != '{') {
            literal += t[i++];
            continue;
        }
        // The field ends at the brace that closes it; braces inside come in pairs.
        std::size_t depth = 1, j = i + 1;
        for (; j < t.size() && depth > 0; ++j) {
            if (t[j] == '\\' && j + 1 < t.size()) {
                ++j;  // an escaped brace in a pattern counts for nothing
                continue;
            }
            if (t[j] == '{') ++depth;
            if (t[j] == '}') --depth;
        }
        if (depth > 0) {
            out.push_back({false, literal, {}, true});
            out.push_back({true, std::string(t.substr(i + 1)), {}, false});
            return out;
        }
        if (!literal.empty()) out.push_back({false, std::exchange(literal, {}), {}, true});
        const std::string_view body = t.substr(i + 1, j - i - 2);
        const std::size_t colon = body.find(':');
        out.push_back({true, std::string(body.substr(0, colon)),
                       colon == std::string_view::npos ? std::string() : std::string(body.substr(colon + 1)), true});
        i = j;
    }
    if (!literal.empty()) out.push_back({false, literal, {}, true});
    return out;
}

bool knownField(const Piece& p) {
    return p.text == "fajl" || p.text == "mappa" || p.text == "datum" || p.text == "ido" || p.text == "oldal" ||
           p.text == "szoveg";
}

// Characters no file name may hold, on Windows or Linux.
bool forbidden(unsigned char c) {
    return c < 0x20 || c == 0x7f || c == '\\' || c == '/' || c == ':' || c == '*' || c == '?' || c == '"' ||
           c == '<' || c == '>' || c == '|';
}

// `name` cut to `max` characters (whole UTF-8 sequences).
std::string cut(const std::string& name, std::size_t max) {
    std::size_t chars = 0, i = 0;
    while (i < name.size()) {
        if (chars == max) return name.substr(0, i);
        const auto c = static_cast<unsigned char>(name[i]);
        i += c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        ++chars;
    }
    return name;
}

}  // namespace

std::vector<std::string> pagesOfText(std::string_view text) {
    std::vector<std::string> pages;
    for (std::size_t from = 0;;) {
        const std::size_t ff = text.find('\f', from);
        pages.emplace_back(text.substr(from, ff == std::string_view::npos ? std::string_view::npos : ff - from));
        if (ff == std::string_view::npos) break;
        from = ff + 1;
    }
    return pages;
}

std::vector<std::string_view> linesOf(std::string_view page) {
    std::vector<std::string_view> lines;
    while (!page.empty()) {
        const std::size_t nl = page.find('\n');
        std::string_view line = page.substr(0, nl);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        page.remove_prefix(nl == std::string_view::npos ? page.size() : nl + 1);
    }
    return lines;
}

std::vector<int> documentStarts(const std::vector<std::string>& pages, LineMatcher& separator) {
    std::vector<int> starts = {1};
    for (std::size_t p = 1; p < pages.size(); ++p) {
        for (std::string_view line : linesOf(pages[p])) {
            if (separator.firstMatch(line)) {
                starts.push_back(static_cast<int>(p + 1));
                break;
            }
        }
    }
    return starts;
}

std::string savedName(std::string_view nameTemplate, const NameFields& fields, const PatternCompiler& compile,
                      std::vector<std::string>& told) {
    const std::string when = localIsoTime(fields.takenAt);  // YYYY-MM-DDTHH:MM:SS
    std::string name;
    for (const Piece& p : piecesOf(nameTemplate.empty() ? kDefaultNameTemplate : nameTemplate)) {
        if (!p.field) {
            name += p.text;
            continue;
        }
        std::string value;
        if (p.text == "fajl") value = fields.file;
        else if (p.text == "mappa") value = fields.folder;
        else if (p.text == "datum" && when.size() >= 10) value = when.substr(0, 10);
        else if (p.text == "ido" && when.size() >= 19) value = when.substr(11, 2) + when.substr(14, 2) + when.substr(17, 2);
        else if (p.text == "oldal") value = std::to_string(fields.firstPage);
        else if (p.text == "szoveg" && p.closed) {
            std::string why;
            const std::unique_ptr<LineMatcher> matcher = compile(p.arg, why);
            if (!matcher) {
                told.push_back("hibás minta: " + p.arg + (why.empty() ? std::string() : " (" + why + ")"));
            } else {
                for (std::size_t page = 0; page < fields.pages.size() && value.empty() && !matcher->gaveUp(); ++page) {
                    for (std::string_view line : linesOf(fields.pages[page])) {
                        if (const auto found = matcher->firstMatch(line)) {
                            value = *found;
                            break;
                        }
                    }
                }
                if (matcher->gaveUp())
                    told.push_back("a minta illesztése túl sokáig tartana: " + p.arg);
            }
        }
        name += value.empty() ? "-" : value;
    }
    for (char& c : name)
        if (forbidden(static_cast<unsigned char>(c))) c = '_';
    name = cut(name, kMaxSavedName);
    // Windows takes no name that ends in a dot or a space.
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.back() = '_';
    return name.empty() ? "-" : name;
}

std::string nameTemplateProblem(std::string_view nameTemplate, const PatternCompiler& compile) {
    for (const Piece& p : piecesOf(nameTemplate)) {
        if (!p.field) continue;
        if (!p.closed) return "a mező nincs lezárva: {" + p.text;
        if (!knownField(p)) return "ismeretlen mező: {" + p.text + "}";
        if (p.text == "szoveg") {
            std::string why;
            if (!compile(p.arg, why)) return "hibás minta: " + p.arg + (why.empty() ? std::string() : " (" + why + ")");
        }
    }
    return {};
}

std::string freshPdfPath(FileSystem& fs, const std::string& dir, const std::string& name) {
    const char separator = dir.find('\\') == std::string::npos && dir.find('/') != std::string::npos ? '/' : '\\';
    std::string base = dir;
    if (!base.empty() && base.back() != '/' && base.back() != '\\') base += separator;
    std::string path = base + name + ".pdf";
    for (int n = 2; n < 100000; ++n) {
        FileProbe probe;
        if (fs.probe(path, probe) != kOk) return path;
        path = base + name + " (" + std::to_string(n) + ").pdf";
    }
    return path;
}

}  // namespace nx
