#include "platform/result.h"

namespace nx {

std::string ioMessage(int code) {
    switch (code) {
        case 2: return "File not found";
        case 3: return "Invalid filename";
        case 4: return "Too many open files";
        case 5: return "File access denied";
        case 100: return "Read beyond end of file";
        case 101: return "Disk full";
        case 106: return "Invalid numeric input";
        default: return "I/O error " + std::to_string(code);
    }
}

std::string withFullStop(std::string message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') message += '.';
    return message;
}

IoError::IoError(int code) : std::runtime_error(ioMessage(code)), code_(code) {}
IoError::IoError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}

}  // namespace nx
