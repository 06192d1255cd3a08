// Shared pieces of the rendering tests: a temporary drive, the rendering context on
// recording fakes, and a fault plan for the file layer.
#pragma once


#include <functional>
#include <map>
#include <string>

#include "platform/files.h"
#include "render/printer_output.h"
#include "tests/support/recording.h"
#include "tests/support/held_file.h"
#include "tests/support/temp_drive.h"

namespace nx::test {

// Counts every file operation and fails the ones `plan` answers with a code.
class ScriptedFaults final : public FaultHook {
public:
    std::function<int(FileOp op, int nth)> plan;  // nth: 1-based count of that op so far
    std::map<FileOp, int> counts;

    int before(FileOp op, const std::string&) override {
        const int nth = ++counts[op];
        return plan ? plan(op, nth) : 0;
    }
    int count(FileOp op) const {
        auto it = counts.find(op);
        return it == counts.end() ? 0 : it->second;
    }
};

struct RenderFixture {
    TempDrive drive;
    Settings settings;
    bool variable = false;
    RecordingProgress progress;
    ScriptedFaults faults;
    RenderContext ctx{drive.fs(), settings, [this] { return variable; }, progress};

    RenderFixture() { drive.fs().setFaultHook(&faults); }
};

}  // namespace nx::test
