#include "render/printer_output.h"

#include "render/interpreter.h"
#include "platform/open_retry.h"

namespace nx {

void printStream(RenderContext& ctx, std::string_view dosPath, PrintJob& job, bool landscape) {
    ByteFile file(ctx.fs);
    file.assign(dosPath);
    check(openRetrying(file, kStreamOpen));

    job.setTitle(kPrintJobTitle);
    job.setLandscape(landscape);
    if (!job.begin()) {
        // Nothing was printed: report it, so that the caller keeps the job file.
        (void)file.close();  // read only: the refused job is what is reported
        throw IoError(kDeviceWriteFault);
    }

    try {
        ctx.progress.setPosition(0);
        std::int64_t size = 0;
        check(file.size(size));
        ctx.progress.setMaximum(size);
        ctx.progress.setStep(1);

        LineInterpreter in(ctx.settings, ctx.variableLineHeight);
        in.startRun(job.surface(), ctx.settings.leftMargin, ctx.settings.topMargin);

        StreamTarget target;
        target.lineRead = [&ctx](std::int64_t position) { ctx.progress.setPosition(position); };
        target.formFeed = [&file, &job](LineInterpreter& li) {
            // The line holding the form feed has been read whole: a form feed on the
            // last line opens no empty page at the end.
            bool atEnd = false;
            check(file.eof(atEnd));
            if (!atEnd) {
                job.newPage();
                li.setSurface(job.surface());
            }
            li.returnToOrigin();
            return false;
        };
        // A byte that cannot be read leaves the job incomplete: it is abandoned like
        // any other failure, so the caller keeps the file for a whole print later.
        const int readFailure = interpretFile(file, in, target);
        if (readFailure != 0) throw StreamReadError(readFailure);
        job.end();
    } catch (...) {
        // Nothing half-printed reaches the printer.
        job.abort();
        (void)file.close();  // read only: the first failure is what is reported
        throw;
    }

    check(file.close());
    ctx.progress.setMaximum(100);
    ctx.progress.setPosition(0);
}

}  // namespace nx
