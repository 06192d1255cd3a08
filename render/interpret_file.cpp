// The file-reading frame around the line interpreter, shared by both targets.
#include "platform/files.h"
#include "render/interpreter.h"

namespace nx {

int interpretFile(ByteFile& file, LineInterpreter& in, const StreamTarget& target) {
    int readFailure = 0;
    std::string line;
    bool inputEnded = false;
    while (!inputEnded) {
        bool atEnd = false;
        check(file.eof(atEnd));
        if (atEnd) break;

        in.startLine();
        line.clear();
        std::size_t stored = 0;
        for (;;) {
            std::uint8_t b = 0;
            const int rc = file.read(b);
            if (rc == kReadBeyondEof) break;  // the file ended inside the line
            if (rc != 0) {
                // An unreadable byte: reading stops here, so that a byte that
                // keeps failing is never retried.
                readFailure = rc;
                inputEnded = true;
                break;
            }
            if (stored < target.lineLimit) {
                line.push_back(static_cast<char>(b));
                ++stored;
            }
            if (b == code::kLineFeed) break;
        }

        if (target.lineRead) {
            std::int64_t pos = 0;
            check(file.position(pos));
            target.lineRead(pos);
        }
        in.interpretLine(line, target.formFeed);
        in.endLine();
    }
    return readFailure;
}

}  // namespace nx

