// DOS path to host path: the whole input is a path as a user may type it into the
// export dialog (code page 1250) or as the program names its files.
//
// Drive C holds "norvexa\config.dta", "talvera\wnyomtat.txt" and a directory with
// accented letters. Checks that a drive C path stays under drive C's directory with
// every backslash read as a separator, that a native absolute path is taken as it
// stands, and that a drive C path naming an existing file resolves to the same host
// path whatever the case of its ASCII letters.
#include <cstdint>
#include <filesystem>
#include <string>

#include "fuzz/fuzz_support.h"

namespace {

using nx::fuzz::expect;

std::string withCase(std::string s, bool upper) {
    for (char& c : s) {
        if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

bool isDriveC(const std::string& p) { return p.size() >= 2 && (p[0] == 'c' || p[0] == 'C') && p[1] == ':'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto& drive = nx::fuzz::FuzzDrive::instance();
    static const bool prepared = [&drive] {
        drive.write("c:\\norvexa\\config.dta", "");
        drive.write("c:\\talvera\\wnyomtat.txt", "");
        // "Árvíztűrő" in UTF-8, as the host directory's name.
        drive.backend().makeDirectory(drive.fs().drives().driveC() +
                                      "/\xc3\x81rv\xc3\xadzt\xc5\xb1r\xc5\x91/sub");
        return true;
    }();
    (void)prepared;

    const std::string path(reinterpret_cast<const char*>(data), size);
    if (path.find('\0') != std::string::npos) return 0;  // no typed name holds a NUL
    const nx::DriveTable& table = drive.fs().drives();
    const nx::EntryMatcher& entries = drive.backend();
    const std::string host = table.resolve(path, entries);
    expect(host == table.resolve(path, entries), "resolution is not repeatable", path);

    if (isDriveC(path)) {
        const std::string& root = table.driveC();
        expect(host.compare(0, root.size(), root) == 0 &&
                   (host.size() == root.size() || host[root.size()] == '/'),
               "drive C path outside drive C", host);
        expect(host.find('\\') == std::string::npos, "backslash left in a host path", host);

        if (drive.backend().exists(host)) {
            expect(table.resolve(withCase(path, true), entries) == host,
                   "upper case resolves elsewhere", path);
            expect(table.resolve(withCase(path, false), entries) == host,
                   "lower case resolves elsewhere", path);
        }
    } else if (!path.empty() && path[0] == '/') {
        // A native path; only a name that is not UTF-8 is converted from code page 1250.
        expect(host[0] == '/', "native path not absolute", host);
    }
    return 0;
}
