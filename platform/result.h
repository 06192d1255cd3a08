// Result codes of file operations and the input/output error.
//
// Every file operation returns a ResultCode, 0 for success, in the DOS numbering
// that the messages use. The type is [[nodiscard]]: a call site either reads the
// code itself (unchecked) or wraps the call in check() (checked), which raises
// IoError on a non-zero code. A result ignored on purpose is cast to void, with a
// short reason where it is not obvious.
#pragma once

#include <stdexcept>
#include <string>

namespace nx {

enum [[nodiscard]] ResultCode : int {
    kOk = 0,
    kFileNotFound = 2,
    kPathNotFound = 3,
    kTooManyOpenFiles = 4,
    kAccessDenied = 5,
    kSharingViolation = 32,
    kReadBeyondEof = 100,
    kDiskFull = 101,
    kFileNotOpen = 103,
    kNotOpenForInput = 104,
    kNotOpenForOutput = 105,
    kInvalidNumeric = 106,
    kNegativeSeek = 131,
    kGeneralFailure = 31,
};

// A code as a ResultCode (any int is a valid code).
constexpr ResultCode resultCode(int code) { return static_cast<ResultCode>(code); }

// The run-time library's text for a result code, without the closing full stop.
std::string ioMessage(int code);

// A message as the error box shows it: a full stop is appended when the last
// character sorts after the full stop in code order.
std::string withFullStop(std::string message);

// The input/output error raised by a checked operation.
class IoError : public std::runtime_error {
public:
    explicit IoError(int code);
    // The same code with a message of its own.
    IoError(int code, const std::string& message);
    int code() const noexcept { return code_; }

private:
    int code_;
};

// The conversion error of text to integer.
class ConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Raises IoError for a non-zero code.
inline void check(int code) {
    if (code != 0) throw IoError(code);
}

}  // namespace nx
