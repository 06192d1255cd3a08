// Writes the seed corpora of the fuzz targets.
//
//   norvexa_fuzz_seeds OUTDIR [HOST_JOB_FILE...]
//
// Each host job file (code page 852, as a host program writes it) becomes a seed
// of the job copy as it is, and, passed through the character map, a print stream
// for the printer, preview and export targets, each behind the option bytes that
// the target reads first. A few hand-made seeds cover what job files rarely hold:
// every control code, form feeds at the start, middle and end of a line, short
// and long settings files, and the texts of the settings boxes.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "intake/charmap.h"
#include "intake/settings.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::string;
using namespace std::string_literals;

fs::path outDir;
int written = 0;

void seed(const std::string& target, const std::string& name, const Bytes& bytes) {
    const fs::path dir = outDir / target;
    fs::create_directories(dir);
    std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::cerr << "cannot write " << (dir / name) << '\n';
        std::exit(1);
    }
    ++written;
}

Bytes header(std::initializer_list<int> bytes) {
    Bytes h;
    for (int b : bytes) h.push_back(static_cast<char>(b));
    return h;
}

Bytes mapped(const Bytes& job) {
    Bytes out(job.size(), '\0');
    for (std::size_t i = 0; i < job.size(); ++i)
        out[i] = static_cast<char>(nx::mapByte(static_cast<std::uint8_t>(job[i])));
    return out;
}

// The option byte of OneFault for an operation (its FileOp index) and a code index.
int faultOf(int op, int codeIndex) { return 1 + op + 10 * codeIndex; }
constexpr int kOpRead = 2, kOpWrite = 3, kOpClose = 8;
constexpr int kCodeAccess = 3, kCodeDiskFull = 6;

void streamSeeds(const std::string& name, const Bytes& stream) {
    seed("print_stream_fuzz", name + ".a", header({0, 0, 0, 0}) + stream);
    seed("print_stream_fuzz", name + ".b", header({8 | 1, 0xFF, 0, 0}) + stream);
    seed("print_stream_fuzz", name + ".c", header({3, 0x55, faultOf(kOpRead, kCodeAccess), 40}) + stream);
    for (int page = 1; page <= 3; ++page)
        seed("preview_page_fuzz", name + ".p" + std::to_string(page),
             header({0, page == 2 ? 0xFF : 0, 0, 0, page}) + stream);
    seed("preview_page_fuzz", name + ".p1c", header({32, 0, 0, 0, 1}) + stream);  // against the printer
    seed("copy_lines_fuzz", name, header({0, 0}) + stream);
    seed("copy_lines_fuzz", name + ".w", header({faultOf(kOpWrite, kCodeDiskFull), 3}) + stream);
    seed("copy_lines_fuzz", name + ".c", header({faultOf(kOpClose, kCodeDiskFull), 1}) + stream);
}

void jobSeeds(const std::string& name, const Bytes& job) {
    // Any job file is an ESC/P job too (the printer files of the real data are).
    seed("escp_fuzz", name, Bytes(1, '\0') + job);
    seed("escp_fuzz", name + ".9", Bytes(1, '\5') + job);
    seed("job_copy_fuzz", name, header({0, 0}) + job);
    seed("job_copy_fuzz", name + ".r", header({faultOf(kOpRead, kCodeAccess), 0}) + job);
    streamSeeds(name, mapped(job));
}

void handMadeSeeds() {
    // Every byte below 32 between words, box cells in a row, form feeds placed at
    // the start, in the middle and at the end of lines, and as the last byte.
    Bytes codes;
    for (int b = 0; b < 32; ++b) {
        if (b == 10 || b == 12) continue;
        codes.push_back(static_cast<char>(b));
        codes += "Ab";
    }
    codes += "\r\n";
    Bytes boxes = "\x1e\x1b\x19\x1b\x16\r\n\x14x\x14y\x14\r\n\x1a\x1b\x1c\x1b\x15\r\n\x17\x1b\x18\x1b\x1d\r\n";
    Bytes sizes = "\x03" "a\x03" "b\x04" "c\x08" "D\x06" "e\x07" "f\x09" "g\x01" "B\x02" "n\r\n";
    Bytes pages = "one\x0btwo\r\n\x0cstart\r\nmid\x0c" "dle\r\nend\x0c\r\nlast\x0c";
    streamSeeds("codes", codes + boxes + sizes + pages);
    streamSeeds("boxes", boxes + boxes);
    // ESC/P: modes, positions, tables, images and the ESC ( commands, each once.
    const Bytes escp = "\x1b@\x1b" "E bold\x1b" "F\x1b-\x01u\x1b-\x00\x1bW\x01W\x1bW\x00"s +
                       "\x1b" "3\x18\n\x1b" "A\x0c\n\x1bJ\x10\x1b$\x3c\x00X\x1b\\\x10\x00Y\r\n"s +
                       "\x1b" "D\x04\x08\x00\tT\x1bl\x02\x1bQ\x30\x1bg15\x0f" "c\x12\x1bM12\r\n"s +
                       "\xc9\xcd\xbb\r\n\xba\xb0\xba\r\n\xc8\xcd\xbc\r\n\x1bt\x00\xc1\x1bR\x02["s +
                       "\x1b*\x27\x02\x00\xff\x00\x81\x81\x00\xff\x1bK\x02\x00\x81\x42"s +
                       "\x1b.\x01\x0a\x0a\x02\x08\x00\x01\xf0\x0f\x1b(U\x01\x00\x0a"s +
                       "\x1b(C\x02\x00\x10\x0e\x1b(V\x02\x00\x40\x00Z\x1b(t\x03\x00\x01\x0a\x00\x8b"s +
                       "\x1b" "C\x00\x02\x1bN\x02\x1b" "B\x02\x04\x00\x0b\x0bv\x0c"s;
    seed("escp_fuzz", "commands", Bytes(1, '\0') + escp);
    seed("escp_fuzz", "commands.9", Bytes(1, '\5') + escp);
    streamSeeds("pages", pages + pages);
    streamSeeds("long", Bytes(300, 'x') + "\x0c" + Bytes(20, 'y') + "\n" + sizes);
    streamSeeds("empty", "");

    const auto record = nx::Settings{}.encode();
    const Bytes defaults(record.begin(), record.end());
    nx::Settings odd;
    odd.condensed = -1;
    odd.normal = 0x7FFFFFFF;
    odd.leftMargin = -2147483647 - 1;
    odd.variableLineHeight = 1;
    odd.reserved = {1, 2, 3};
    const auto oddRecord = odd.encode();
    const Bytes oddBytes(oddRecord.begin(), oddRecord.end());
    seed("settings_load_fuzz", "missing", header({0, 0}));
    seed("settings_load_fuzz", "defaults", header({0, 0}) + defaults);
    seed("settings_load_fuzz", "odd", header({0, 0}) + oddBytes);
    seed("settings_load_fuzz", "long40", header({0, 0}) + defaults + Bytes(12, '\x55'));
    seed("settings_load_fuzz", "short10", header({0, 0}) + defaults.substr(0, 10));
    seed("settings_load_fuzz", "held", header({faultOf(0, 4), 0}) + defaults);
    seed("settings_load_fuzz", "readonly", header({faultOf(0, kCodeAccess), 2}) + defaults);

    const char* texts[] = {"12", "  12", "12 ", "", "$10", "-$10", "0x7fffffff", "0X80000000",
                           "-2147483648", "2147483647", "2147483648", "+5", "-0", "x1F", "X",
                           "$", "0x", "--1", "+-1", "\t7", "1e3", "00000000000000000012"};
    int i = 0;
    for (const char* t : texts) seed("int_conv_fuzz", "text" + std::to_string(i++), t);

    const char* paths[] = {"C:\\NORVEXA\\CONFIG.DTA", "c:\\norvexa\\", "c:\\talvera\\wnyomtat.txt",
                           "C:\\norvexa\\eredmeny.txt", "c:\\\xc1rv\xedzt\xfbr\xf5\\SUB",
                           "c:\\..\\norvexa\\.\\config.dta", "c:norvexa", "C:",
                           "/tmp/x", "/tmp/\xe1rv\xedz", "eredmeny.txt", "d:\\x\\y",
                           "c:/norvexa//config.dta", "\\\\server\\share"};
    i = 0;
    for (const char* p : paths) seed("dos_path_fuzz", "path" + std::to_string(i++), p);
}

Bytes readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: norvexa_fuzz_seeds OUTDIR [HOST_JOB_FILE...]\n";
        return 2;
    }
    outDir = argv[1];
    handMadeSeeds();
    for (int i = 2; i < argc; ++i) {
        const fs::path p = argv[i];
        if (!fs::is_regular_file(p)) continue;
        jobSeeds(p.filename().string(), readFile(p));
    }
    std::cout << written << " seeds in " << outDir.string() << '\n';
    return 0;
}
