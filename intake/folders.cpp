#include "intake/folders.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <tuple>

#include "intake/paths.h"
#include "platform/sheet.h"

namespace nx {

namespace {

// The temporary file of a save: beside the folders file, its name begins with a dot
// (a watched folder passes such names over).
constexpr std::string_view kFoldersTemp = "c:\\norvexa\\.mappak.ini.uj";

std::string trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return std::string(s.substr(b, e - b));
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A host directory path without trailing separators, for comparing folders.
std::string hostDir(FileSystem& fs, std::string_view path) {
    std::string host = fs.hostPath(path);
    while (host.size() > 1 && (host.back() == '/' || host.back() == '\\')) host.pop_back();
    return host;
}

std::string where(std::string_view section) {
    return std::string(kFoldersFileShown) + ", [" + std::string(section) + "]: ";
}

struct Section {
    std::string name;
    int line = 0;
    WatchedFolder folder;
    bool hasPath = false;
    std::vector<std::string> problems;
};

void setKey(Section& s, const std::string& key, const std::string& value) {
    const std::string v = lower(value);
    if (key == "utvonal") {
        s.folder.path = value;
        s.hasPath = !value.empty();
    } else if (key == "tipus") {
        if (v == "24" || v == "9") s.folder.pins = v == "9" ? 9 : 24;
        else s.problems.push_back("hibás érték: tipus=" + value + " (24 vagy 9 lehet)");
    } else if (key == "kodlap") {
        if (v == "437" || v == "850" || v == "852") s.folder.codePage = std::stoi(v);
        else s.problems.push_back("hibás érték: kodlap=" + value + " (437, 850 vagy 852 lehet)");
    } else if (key == "muvelet") {
        if (v == "nyomtatas" || v == "elonezet" || v == "pdf") {
            s.folder.preview = v == "elonezet";
            s.folder.pdfOnly = v == "pdf";
        } else {
            s.problems.push_back("hibás érték: muvelet=" + value + " (nyomtatas, elonezet vagy pdf lehet)");
        }
    } else if (key == "pdfmappa") {
        if (value.empty() || isFolderPath(value)) s.folder.pdfDir = value;
        else s.problems.push_back("hibás érték: pdfmappa=" + value + " (C:\\... vagy teljes útvonal kell)");
    } else if (key == "fajlnev") {
        s.folder.nameTemplate = value;
    } else if (key == "elvalaszto") {
        s.folder.split = value;
    } else if (key == "pdfa") {
        if (v == "igen" || v == "nem") s.folder.archival = v == "igen";
        else s.problems.push_back("hibás érték: pdfa=" + value + " (igen vagy nem lehet)");
    } else if (key == "nyomtato") {
        s.folder.printer = value;
    } else if (key == "papir") {
        if (const auto paper = paperNamed(v)) s.folder.paper = paperName(*paper);
        else s.problems.push_back("hibás érték: papir=" + value +
                                  " (A4, A5, Letter, Legal vagy SZÉLxMAG milliméterben, 50 és 600 között)");
    } else if (key == "hatter") {
        if (const auto files = parseBackgrounds(value)) s.folder.backgrounds = *files;
        else s.problems.push_back("hibás érték: hatter=" + value + " (fájlok | jellel elválasztva, C:\\... vagy teljes útvonal)");
    } else if (key == "eltolas") {
        if (const auto offset = parseOffset(value)) std::tie(s.folder.offsetX, s.folder.offsetY) = *offset;
        else s.problems.push_back("hibás érték: eltolas=" + value + " (X,Y milliméterben, -50 és 50 között)");
    } else if (key == "nyers") {
        if (v == "igen" || v == "nem") s.folder.raw = v == "igen";
        else s.problems.push_back("hibás érték: nyers=" + value + " (igen vagy nem lehet)");
    } else {
        s.problems.push_back("ismeretlen kulcs: " + key);
    }
}

}  // namespace

std::optional<std::pair<double, double>> parseOffset(std::string_view text) {
    // A number: an optional sign, digits, an optional decimal point and digits.
    auto number = [](std::string_view raw) -> std::optional<double> {
        const std::string s = trim(raw);
        if (s.empty() || s.size() > 16) return std::nullopt;
        const std::size_t sign = (s[0] == '-' || s[0] == '+') ? 1 : 0;
        bool digits = false, point = false;
        for (std::size_t k = sign; k < s.size(); ++k) {
            if (std::isdigit(static_cast<unsigned char>(s[k]))) digits = true;
            else if (s[k] == '.' && !point) point = true;
            else return std::nullopt;
        }
        if (!digits) return std::nullopt;
        // Read without the locale: the decimal point is a point whatever the desktop's.
        double v = 0;
        const char* first = s.data() + (s[0] == '+' ? 1 : 0);
        const auto [end, ec] = std::from_chars(first, s.data() + s.size(), v);
        if (ec != std::errc() || end != s.data() + s.size() || v < -50 || v > 50) return std::nullopt;
        return v;
    };
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    const auto x = number(text.substr(0, comma));
    const auto y = number(text.substr(comma + 1));
    if (!x || !y) return std::nullopt;
    return std::make_pair(*x, *y);
}

std::string formatOffset(double x, double y) {
    auto one = [](double v) {
        // Written without the locale, as it is read.
        char buffer[32];
        const auto written = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, 2);
        std::string s(buffer, written.ptr);
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
        return s == "-0" ? std::string("0") : s;
    };
    return one(x) + "," + one(y);
}

std::optional<std::vector<std::string>> parseBackgrounds(std::string_view text) {
    std::vector<std::string> files;
    if (trim(text).empty()) return files;
    for (;;) {
        const std::size_t bar = text.find('|');
        std::string file = trim(text.substr(0, bar));
        if (!isFolderPath(file)) return std::nullopt;
        files.push_back(std::move(file));
        if (bar == std::string_view::npos) break;
        text.remove_prefix(bar + 1);
    }
    return files;
}

std::string formatBackgrounds(const std::vector<std::string>& files) {
    std::string text;
    for (std::size_t i = 0; i < files.size(); ++i) text += (i ? "|" : "") + files[i];
    return text;
}

bool isFolderPath(std::string_view path) {
    if (path.size() >= 3 && (path[0] == 'c' || path[0] == 'C') && path[1] == ':' &&
        (path[2] == '\\' || path[2] == '/'))
        return true;
#if defined(_WIN32)
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') return true;
    return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
           (path[2] == '\\' || path[2] == '/');
#else
    return !path.empty() && path.front() == '/';
#endif
}

std::string folderProblem(FileSystem& fs, const WatchedFolder& folder) {
    if (!isFolderPath(folder.path))
        return "nem mappa útvonal: " + folder.path + " (C:\\... vagy teljes útvonal kell)";
    const std::string host = hostDir(fs, folder.path);
    if (host == hostDir(fs, paths::kServiceDir))
        return "a szolgáltatás saját mappája nem figyelhető: " + folder.path;
    for (std::string_view dir : paths::kHostDirs) {
        if (host == hostDir(fs, "c:\\" + std::string(dir)))
            return "ezt a mappát a szolgáltatás már figyeli: " + folder.path;
    }
    std::vector<DirEntry> entries;
    if (fs.listFiles(folder.path, entries) != kOk) return "a mappa nem érhető el: " + folder.path;
    return {};
}

FolderList parseFolders(FileSystem& fs, std::string_view text, bool checkFolders) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a byte order mark
    std::vector<Section> sections;
    FolderList out;
    int lineNo = 0;
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        const std::string line = trim(text.substr(0, nl));
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        ++lineNo;
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line.front() == '[') {
            Section s;
            s.name = trim(std::string_view(line).substr(1, line.size() - (line.back() == ']' ? 2 : 1)));
            s.line = lineNo;
            if (line.back() != ']') s.problems.push_back(std::to_string(lineNo) + ". sor: hiányzik a ]");
            sections.push_back(std::move(s));
            continue;
        }
        const std::size_t eq = line.find('=');
        if (sections.empty()) {
            out.problems.push_back(std::string(kFoldersFileShown) + ", " + std::to_string(lineNo) +
                                   ". sor: szakaszon kívül áll: " + line);
            continue;
        }
        if (eq == std::string::npos) {
            sections.back().problems.push_back(std::to_string(lineNo) + ". sor: nem kulcs=érték: " + line);
            continue;
        }
        setKey(sections.back(), lower(trim(std::string_view(line).substr(0, eq))),
               trim(std::string_view(line).substr(eq + 1)));
    }

    std::vector<std::string> watched;  // host directories taken so far
    for (Section& s : sections) {
        if (!s.hasPath) s.problems.push_back("hiányzik az utvonal");
        if (s.folder.pdfOnly && s.folder.pdfDir.empty()) s.problems.push_back("muvelet=pdf mellé pdfmappa kell");
        if (s.folder.raw && (s.folder.pdfOnly || !s.folder.pdfDir.empty()))
            s.problems.push_back("nyers küldés (nyers=igen) mellett nincs PDF mentés (muvelet=pdf, pdfmappa)");
        if (s.folder.raw && !s.folder.backgrounds.empty())
            s.problems.push_back("nyers küldés (nyers=igen) mellé nem adható háttér (hatter)");
        if (s.problems.empty() && checkFolders) {
            if (std::string why = folderProblem(fs, s.folder); !why.empty()) s.problems.push_back(why);
        }
        if (s.problems.empty()) {
            const std::string host = hostDir(fs, s.folder.path);
            if (std::find(watched.begin(), watched.end(), host) != watched.end())
                s.problems.push_back("ez a mappa már szerepel: " + s.folder.path);
            else if (out.folders.size() >= kMaxFolders)
                s.problems.push_back("legfeljebb " + std::to_string(kMaxFolders) + " mappa figyelhető");
            else
                watched.push_back(host);
        }
        if (!s.problems.empty()) {
            std::string message = where(s.name);
            for (std::size_t i = 0; i < s.problems.size(); ++i)
                message += (i ? "; " : "") + s.problems[i];
            out.problems.push_back(message + " (ez a mappa nincs figyelve)");
            continue;
        }
        out.folders.push_back(s.folder);
    }
    return out;
}

std::string formatFolders(const std::vector<WatchedFolder>& folders) {
    std::string text;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        const WatchedFolder& f = folders[i];
        if (i) text += "\r\n";
        text += "[mappa" + std::to_string(i + 1) + "]\r\n";
        text += "utvonal=" + f.path + "\r\n";
        text += "tipus=" + std::to_string(f.pins) + "\r\n";
        text += "kodlap=" + std::to_string(f.codePage) + "\r\n";
        text += std::string("muvelet=") + (f.pdfOnly ? "pdf" : f.preview ? "elonezet" : "nyomtatas") + "\r\n";
        // The route's keys only where they differ from their defaults: a file without
        // them is written as it always was.
        if (!f.printer.empty()) text += "nyomtato=" + f.printer + "\r\n";
        if (f.paper != "A4") text += "papir=" + f.paper + "\r\n";
        if (f.offsetX != 0 || f.offsetY != 0) text += "eltolas=" + formatOffset(f.offsetX, f.offsetY) + "\r\n";
        if (f.raw) text += "nyers=igen\r\n";
        if (!f.backgrounds.empty()) text += "hatter=" + formatBackgrounds(f.backgrounds) + "\r\n";
        if (!f.pdfDir.empty()) text += "pdfmappa=" + f.pdfDir + "\r\n";
        if (!f.nameTemplate.empty()) text += "fajlnev=" + f.nameTemplate + "\r\n";
        if (!f.split.empty()) text += "elvalaszto=" + f.split + "\r\n";
        if (f.archival) text += "pdfa=igen\r\n";
    }
    return text;
}

FolderList loadFolders(FileSystem& fs, bool checkFolders) {
    ByteFile file(fs);
    file.assign(kFoldersFile);
    const ResultCode rc = file.reset();
    if (rc == kFileNotFound || rc == kPathNotFound) return {};
    auto unreadable = [](int code) {
        FolderList out;
        out.problems.push_back(std::string(kFoldersFileShown) + ": nem olvasható (" + ioMessage(code) + ")");
        return out;
    };
    if (rc != kOk) return unreadable(rc);
    std::string text;
    std::uint8_t block[4096];
    for (;;) {
        std::size_t got = 0;
        const ResultCode r = file.readBlock(block, sizeof block, got);
        if (r != kOk) {
            (void)file.close();
            return unreadable(r);
        }
        if (got == 0) break;
        text.append(reinterpret_cast<const char*>(block), got);
    }
    (void)file.close();  // read only: its result changes nothing
    return parseFolders(fs, text, checkFolders);
}

ResultCode saveFolders(FileSystem& fs, const std::vector<WatchedFolder>& folders) {
    return writeWhole(fs, kFoldersTemp, kFoldersFile, formatFolders(folders));
}

bool FolderFile::refresh(std::vector<std::string>& problems) {
    problems.clear();
    FileProbe now;
    const bool present = fs_.probe(kFoldersFile, now) == kOk;
    if (read_ && present == present_ &&
        (!present || (now.size == seen_.size && now.modifiedNs == seen_.modifiedNs)))
        return false;
    read_ = true;
    present_ = present;
    seen_ = now;
    list_ = present ? loadFolders(fs_) : FolderList{};
    problems = list_.problems;
    return true;
}

}  // namespace nx
