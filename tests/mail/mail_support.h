// Helpers of the mail tests: environment variables set for one test, the error
// boxes a send would show, and reading the stand-in library's record.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "mail/sending.h"

namespace nx::test {

class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        set(name, value.c_str());
    }
    ~ScopedEnv() { set(name_, old_ ? old_->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    static void set(const char* name, const char* value) {  // null: unset
#if defined(_WIN32)
        (void)_putenv_s(name, value ? value : "");  // an empty value unsets on Windows
#else
        if (value) (void)setenv(name, value, 1);
        else (void)unsetenv(name);
#endif
    }
    const char* name_;
    std::optional<std::string> old_;
};

// The error boxes the mail window would show.
struct RecordingServices {
    std::vector<std::string> errors;
    void errorBox(std::string_view text) { errors.emplace_back(text); }
};

// Sends as the mail window does: the message from the window's texts with one
// attachment, and a failure reported in the error box.
inline int sendMessage(std::string_view subject, std::string_view body, std::string_view attachment,
                       std::string_view senderName, std::string_view senderAddress,
                       std::string_view recipName, std::string_view recipAddress,
                       RecordingServices& services, std::uintptr_t uiParam = 0,
                       std::string_view library = nx::kMapiLibraryName) {
    nx::MailMessage message{std::string(subject),       std::string(body),
                            std::string(senderName),    std::string(senderAddress),
                            std::string(recipName),     std::string(recipAddress),
                            {std::string(attachment)}};
    const int result = nx::LevelKuldes(message, uiParam, library);
    if (result != 0) services.errorBox(nx::sendErrorText(result));
    return result;
}

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

// A stand-in xdg-email in `dir` that writes its arguments, each ended by a zero
// byte, to the file named by NX_XDG_RECORD and exits with `exitCode`.
inline void writeXdgEmailStandIn(const std::filesystem::path& dir, const std::string& exitCode = "0") {
    const auto script = dir / "xdg-email";
    std::ofstream out(script, std::ios::trunc);
    out << "#!/bin/sh\n"
           ": > \"$NX_XDG_RECORD\"\n"
           "for a in \"$@\"; do printf '%s\\0' \"$a\" >> \"$NX_XDG_RECORD\"; done\n"
           "exit " << exitCode << "\n";
    out.close();
    std::filesystem::permissions(script, std::filesystem::perms(0755));
}

// The arguments the stand-in got, or nullopt when it did not run.
inline std::optional<std::vector<std::string>> xdgEmailArguments(const std::string& recordPath) {
    std::ifstream in(recordPath, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<std::string> args;
    std::string arg;
    while (std::getline(in, arg, '\0')) args.push_back(arg);
    return args;
}

}  // namespace nx::test
