#include "render/text_export.h"

#include <string>

namespace nx {

namespace {

// One source line as plain text: space codes become spaces, form feeds and bytes
// 32..255 stay, every other byte goes.
void plainLine(const std::string& line, std::string& out) {
    out.clear();
    for (char c : line) {
        const auto b = static_cast<unsigned char>(c);
        if (b == 11)
            out.push_back(' ');
        else if (b == 12 || b >= 32)
            out.push_back(c);
    }
}

}  // namespace

void copyLines(TextFile& source, TextFile& target) {
    try {
        // A source left open by an earlier failed export is closed and read afresh.
        if (source.isOpen()) (void)source.close();  // read only: nothing to lose
        check(source.reset());
        std::string line;
        std::string out;
        for (;;) {
            bool atEnd = false;
            check(source.eof(atEnd));
            if (atEnd) break;
            check(source.readLine(line));
            plainLine(line, out);
            check(target.writeLine(out));
        }
        check(source.close());
        check(target.close());
    } catch (...) {
        // Neither file stays open (or locked) after a failure.
        // The first failure is what is reported.
        if (source.isOpen()) (void)source.close();
        if (target.isOpen()) (void)target.close();
        throw;
    }
}

}  // namespace nx
