// Drive C and DOS paths: "c:\norvexa\config.dta" -> a host path under the directory
// that stands for drive C, each existing component matched ignoring letter case, as
// DOS emulators do.
#pragma once

#include <string>
#include <string_view>

namespace nx {

// Whether two names are equal ignoring the case of ASCII letters, as DOS compares them.
bool sameNameIgnoringCase(std::string_view a, std::string_view b);

// Lists a directory for the path resolution.
class EntryMatcher {
public:
    virtual ~EntryMatcher() = default;
    // The entry of `dir` whose name equals `name` ignoring letter case, an exact
    // match first; empty when there is none (or `dir` cannot be listed).
    virtual std::string matchEntry(const std::string& dir, const std::string& name) const = 0;
};

// The host's own directories.
const EntryMatcher& hostDirectories();

// Drive letters to host directories. Only drive C is mapped.
class DriveTable {
public:
    explicit DriveTable(std::string driveC);

    // Drive C from `--drive-c DIR` or `--drive-c=DIR` (the last one given wins, and
    // it wins over the rest), else from NORVEXA_DRIVE_C, else defaultDriveC().
    // The option and its value are left in argv; callers that parse further skip them.
    static DriveTable fromCommandLine(int argc, const char* const* argv);
    static std::string defaultDriveC();  // $HOME/.local/share/norvexa/drive_c (or /tmp/...)

    const std::string& driveC() const { return driveC_; }

    // DOS path -> host path. "c:\x\y" maps under drive C with each existing component
    // matched case-insensitively (a missing component keeps the case given); a native
    // absolute path ("/...") is taken as it is; any other name resolves against the
    // current directory, backslashes read as separators.
    std::string resolve(std::string_view dosPath) const { return resolve(dosPath, hostDirectories()); }
    std::string resolve(std::string_view dosPath, const EntryMatcher& entries) const;

private:
    std::string driveC_;
};

}  // namespace nx
