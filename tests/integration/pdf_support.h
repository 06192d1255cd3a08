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

#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

#include <QString>

#include "intake/charmap.h"
#include "platform/qt/codec.h"

namespace nx::test {

inline std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::filesystem::path& p, std::string_view bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A host job through the character map.
inline std::string printStreamOf(std::string_view job) {
    std::string s(job);
    for (char& c : s) c = static_cast<char>(nx::mapByte(static_cast<std::uint8_t>(c)));
    return s;
}

inline std::string sampleJob(const std::string& name) {
    return readFile(std::filesystem::path(NORVEXA_SOURCE_DIR) / "samples" / name);
}

// Pages that printing a stream gives: one, plus one for every form feed that is not
// on the stream's last line.
inline int pagesByFormFeeds(std::string_view stream) {
    int pages = 1;
    std::size_t pos = 0;
    while (pos < stream.size()) {
        std::size_t end = stream.find('\n', pos);
        end = end == std::string_view::npos ? stream.size() : end + 1;
        if (end < stream.size())
            for (std::size_t i = pos; i < end; ++i) pages += stream[i] == '\f';
        pos = end;
    }
    return pages;
}

// The words with letters outside ASCII on each page of a stream, in UTF-8: what a
// reader of the printed page must find on it.
inline std::vector<std::vector<std::string>> accentedWordsByPage(std::string_view stream) {
    std::vector<std::vector<std::string>> pages(1);
    std::string word;
    bool accented = false;
    auto endWord = [&] {
        if (accented && word.size() >= 4) pages.back().push_back(nx::qt::fromCp1250(word).toStdString());
        word.clear();
        accented = false;
    };
    for (char c : stream) {
        const auto b = static_cast<unsigned char>(c);
        const QChar ch = nx::qt::fromCp1250(std::string_view(&c, 1)).at(0);
        if (b >= 32 && ch.isLetter()) {
            word += c;
            accented |= b >= 128;
        } else {
            endWord();
            if (b == '\f') pages.emplace_back();
        }
    }
    endWord();
    return pages;
}

}  // namespace nx::test
