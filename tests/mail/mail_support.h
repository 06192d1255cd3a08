// Helpers of the mail tests: environment variables set for one test, a recording
// Services, and reading the stand-in library's record.
#pragma once

#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/services.h"

namespace nx::test {

class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_) setenv(name_, old_->c_str(), 1);
        else unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

struct RecordingServices final : nx::Services {
    std::vector<std::string> errors;
    int terminations = 0;
    void requestTermination() override { ++terminations; }
    void errorBox(std::string_view text) override { errors.emplace_back(text); }
};

// The stand-in library's record: "key=value" lines.
inline std::map<std::string, std::string> readRecord(const std::string& path) {
    std::map<std::string, std::string> fields;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) fields[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return fields;
}

}  // namespace nx::test
