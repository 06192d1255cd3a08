// DOS programs of the tests' own in DOSBox: the print program (tests/hosts/printjob.asm)
// assembled with nasm for a job, and DOSBox started headless with drive C the
// service's drive and the programs' directory as drive D.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/integration/pdf_support.h"

namespace nx::test {

// The print program writing `job` to `dosPath` (upper case, as DOS programs name
// files) in `parts` pieces `pauseTicks` apart, then holding it open `holdTicks`.
inline void assemblePrintProgram(const std::filesystem::path& bin, const std::string& name,
                                 const std::string& dosPath, std::string_view job, int parts,
                                 int pauseTicks, int holdTicks) {
    const std::filesystem::path data = bin / (name + ".BIN");
    writeFile(data, job);
    std::string upper = dosPath;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    int status = -1;
    const std::string out =
        run("nasm -f bin -DJOBPATH='\"" + upper + "\"' -DJOBDATA=" + quoted("\"" + data.string() + "\"") +
                " -DPARTS=" + std::to_string(parts) + " -DPAUSE=" + std::to_string(pauseTicks) +
                " -DHOLD=" + std::to_string(holdTicks) + " -o " + quoted((bin / (name + ".COM")).string()) +
                " " + quoted(std::string(NORVEXA_SOURCE_DIR) + "/tests/hosts/printjob.asm") + " 2>&1",
            &status);
    ASSERT_EQ(status, 0) << out;
}

// DOSBox without a display or sound running `programs` (names of .COM files in
// `bin`) in turn, then ending.
inline std::unique_ptr<QProcess> startDosbox(const QString& dosbox, const std::filesystem::path& bin,
                                             const std::filesystem::path& driveC, const std::string& confName,
                                             const std::vector<std::string>& programs) {
    const std::filesystem::path conf = bin / (confName + ".conf");
    std::string text =
        "[sdl]\nfullscreen=false\n[cpu]\ncycles=10000\n[mixer]\nnosound=true\n"
        "[speaker]\npcspeaker=false\n[autoexec]\n";
    text += "mount c \"" + driveC.string() + "\"\n";
    text += "mount d \"" + bin.string() + "\"\nd:\n";
    for (const std::string& p : programs) text += p + ".COM\n";
    text += "exit\n";
    writeFile(conf, text);
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("SDL_VIDEODRIVER"), QStringLiteral("dummy"));
    e.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    e.insert(QStringLiteral("HOME"), QString::fromStdString(bin.string()));  // its own dosbox.conf
    p->setProcessEnvironment(e);
    p->setProcessChannelMode(QProcess::MergedChannels);
    p->start(dosbox, {QStringLiteral("-conf"), QString::fromStdString(conf.string()), QStringLiteral("-noconsole")});
    return p;
}

// The lines a whole print of job `id` must show: each page's head, its `lines`
// numbered lines ("ID/P1/L01/" followed by `tail`), and the job's end.
inline std::vector<std::string> tokensOf(const std::string& id, int pages, int lines,
                                         const std::string& tail = {}) {
    std::vector<std::string> out;
    for (int p = 1; p <= pages; ++p) {
        out.push_back("JOB-" + id + "-P" + std::to_string(p));
        for (int l = 1; l <= lines; ++l) {
            char t[64];
            std::snprintf(t, sizeof t, "%s/P%d/L%02d/", id.c_str(), p, l);
            out.push_back(t + tail);
        }
    }
    out.push_back("END-" + id);
    return out;
}

}  // namespace nx::test
