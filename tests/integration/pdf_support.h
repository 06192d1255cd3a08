// Helpers for the printing tests: running poppler-utils and reading their output.
#pragma once

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>

namespace nx::test {

// Runs a shell command and returns its standard output; `status` gets the exit status.
inline std::string run(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        if (status) *status = -1;
        return out;
    }
    std::array<char, 4096> buf{};
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0) out.append(buf.data(), n);
    const int rc = ::pclose(pipe);
    if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

inline std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') q += "'\\''";
        else q += c;
    }
    return q + "'";
}

// The value of one "Key:   value" line of pdfinfo.
inline std::string pdfInfo(const std::string& pdf, const std::string& key) {
    const std::string info = run("pdfinfo " + quoted(pdf) + " 2>/dev/null");
    const std::string tag = key + ":";
    for (std::size_t pos = 0; pos < info.size();) {
        std::size_t end = info.find('\n', pos);
        if (end == std::string::npos) end = info.size();
        const std::string line = info.substr(pos, end - pos);
        if (line.rfind(tag, 0) == 0) {
            std::size_t v = tag.size();
            while (v < line.size() && line[v] == ' ') ++v;
            return line.substr(v);
        }
        pos = end + 1;
    }
    return {};
}

inline bool havePoppler() {
    int status = 0;
    run("pdfinfo -v >/dev/null 2>&1", &status);
    return status == 0 || status == 99;
}

}  // namespace nx::test
