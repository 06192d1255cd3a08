// What the tests of norvexa-print share: the command run as a separate process in
// a temporary drive, its status and output.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/temp_drive.h"

namespace nx::test {

namespace fs = std::filesystem;

struct Result {
    int status = -1;
    std::string out, err;
};

inline std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void spit(const fs::path& p, std::string_view bytes) {
    std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class Cli : public ::testing::Test {
protected:
    nx::test::TempDrive drive;
    fs::path dir = drive.root();

    Result run(const std::vector<std::string>& args) {
        std::string cmd = quote(NORVEXA_PRINT);
        for (const std::string& a : args) cmd += " " + quote(a);
        const fs::path out = dir / "stdout", err = dir / "stderr";
        cmd += " >" + quote(out.string()) + " 2>" + quote(err.string());
        Result r;
        const int rc = std::system(cmd.c_str());
        r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
        r.out = slurp(out);
        r.err = slurp(err);
        return r;
    }
    fs::path job(const std::string& name, std::string_view bytes) {
        spit(dir / name, bytes);
        return dir / name;
    }
    std::vector<std::string> lines(const std::string& text) {
        std::vector<std::string> v;
        std::istringstream in(text);
        for (std::string l; std::getline(in, l);) v.push_back(l);
        return v;
    }
};

}  // namespace nx::test
